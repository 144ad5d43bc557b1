// Every image the game and the console load, as the game names them (below the
// game folder), with the size and format the art is made for and how it is drawn.
#pragma once

#include <string>
#include <vector>

#include "image/art_image.h"

namespace assets_test {

struct ImageFile {
  const char* path;
  art::FileKind kind;
  int width, height;
  int bits;             // bits per pixel the file must have (BMP), 0 when any
  bool keyed;           // loaded with opaque black as the colour key
  double drawX, drawY;  // scale at which the game draws it
};

inline const std::vector<ImageFile>& GameImages() {
  using K = art::FileKind;
  static const std::vector<ImageFile> files = {
      {"Immagini/DRESK_LOGO.jpg", K::Jpeg, 2048, 1024, 0, false, 0.5, 0.75},
      {"Immagini/Loading.jpg", K::Jpeg, 2048, 1024, 0, false, 0.5, 0.75},
      {"Immagini/Button/startGame.png", K::Png, 1024, 128, 0, true, 0.5, 0.7},
      {"Immagini/Button/startGameOn.png", K::Png, 1024, 128, 0, true, 0.5, 0.7},
      {"Immagini/Button/exitGame.png", K::Png, 1024, 128, 0, true, 0.5, 0.7},
      {"Immagini/Button/exitGameOn.png", K::Png, 1024, 128, 0, true, 0.5, 0.7},
      {"Immagini/Mouse/cursore.bmp", K::Bmp, 32, 32, 24, true, 1.0, 1.0},
      {"Immagini/Exit/EXIT.bmp", K::Bmp, 128, 64, 24, true, 1.0, 0.7},
      {"Immagini/Exit/EXIT_ON.bmp", K::Bmp, 128, 64, 24, true, 1.0, 0.7},
      {"Immagini/Window/window.png", K::Png, 512, 512, 0, true, 1.0, 0.7},
      {"Immagini/Window/YES.bmp", K::Bmp, 128, 64, 24, true, 1.0, 0.7},
      {"Immagini/Window/YES_ON.bmp", K::Bmp, 128, 64, 24, true, 1.0, 0.7},
      {"Immagini/Window/NO.bmp", K::Bmp, 128, 64, 24, true, 1.0, 0.7},
      {"Immagini/Window/NO_ON.bmp", K::Bmp, 128, 64, 24, true, 1.0, 0.7},
      {"Immagini/GUI/Barra_inf.jpg", K::Jpeg, 1024, 128, 0, true, 1.0, 0.7},
      {"Immagini/GUI/description_box.png", K::Png, 256, 256, 0, true, 1.0, 0.7},
      {"Immagini/GUI/mazzo.png", K::Png, 128, 128, 0, true, 1.0, 0.7},
      {"Immagini/Card/01.bmp", K::Bmp, 64, 128, 24, true, 1.0, 0.7},
      {"Immagini/Card/02.bmp", K::Bmp, 64, 128, 24, true, 1.0, 0.7},
      {"Immagini/Card/03.bmp", K::Bmp, 64, 128, 24, true, 1.0, 0.7},
      {"Immagini/Card/04.bmp", K::Bmp, 64, 128, 24, true, 1.0, 0.7},
      {"Immagini/Card/05.bmp", K::Bmp, 64, 128, 24, true, 1.0, 0.7},
      {"Immagini/ConsoleBackground.bmp", K::Bmp, 1024, 512, 24, false, 1.0, 0.75},
      {"Alfabeto/Expo_16x32_DRESK.bmp", K::Bmp, 256, 192, 24, false, 1.0, 1.0},
      {"Data/blue.PNG", K::Png, 128, 128, 0, false, 1.0, 1.0},
      {"Data/red.PNG", K::Png, 128, 128, 0, false, 1.0, 1.0},
      {"Data/mouseOn.PNG", K::Png, 128, 128, 0, false, 1.0, 1.0},
      {"Data/mouseOnChar.PNG", K::Png, 128, 128, 0, false, 1.0, 1.0},
  };
  return files;
}

// The models, each with the texture folder the game hands to its loader.
struct ModelFile {
  const char* path;
  const char* textureFolder;
};

inline const std::vector<ModelFile>& GameModels() {
  static const std::vector<ModelFile> models = {
      {"Data/casella.x", "Data/"},
      {"Data/Background/Background.x", "Data/BackGround/"},
      {"Data/nano_guerriero/nano_guerriero.x", "Data/nano_guerriero/"},
  };
  return models;
}

inline std::string GamePath(const std::string& relative) { return std::string(MORVANE_GAME_DIR) + "/" + relative; }

// Where the game puts each hand card (x of the five slots at 1024 x 768).
constexpr double kHandSlotX[5] = {104.448, 200.704, 297.984, 396.288, 492.544};

}  // namespace assets_test
