# Writes a source file that registers the icon BMP as the program's icon resource ID.
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE ${OUTPUT} "#include <platform/resources.h>\n\nnamespace {\nconst unsigned char kIcon[] = {${bytes}};\n"
  "const platform::resources::Registrar kIconResource(platform::resources::Type::Icon, ${ID}, kIcon, sizeof kIcon);\n}\n")
