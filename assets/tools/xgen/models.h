// The game's three models; each writes its .x file below the game's Data folder.
#pragma once

#include <string>

namespace xgen {

// Data/casella.x: one board square.
void WriteSquare(const std::string& dataDir);
// Data/Background/Background.x: the surroundings of the board.
void WriteBackground(const std::string& dataDir);
// Data/nano_guerriero/nano_guerriero.x: the dwarf warrior, skinned and animated.
void WriteDwarf(const std::string& dataDir);

}  // namespace xgen
