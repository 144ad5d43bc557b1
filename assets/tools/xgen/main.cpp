// xgen: writes the game's .x models.
//   xgen <game Data folder>

#include <sys/stat.h>

#include <cerrno>
#include <exception>
#include <iostream>
#include <string>

#include "models.h"

namespace {

void MakeDir(const std::string& path) {
  if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) throw std::runtime_error("cannot create " + path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: xgen <Data folder>\n";
    return 2;
  }
  const std::string data = argv[1];
  try {
    MakeDir(data);
    MakeDir(data + "/Background");
    MakeDir(data + "/nano_guerriero");
    xgen::WriteSquare(data);
    xgen::WriteBackground(data);
    xgen::WriteDwarf(data);
  } catch (const std::exception& e) {
    std::cerr << "xgen: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
