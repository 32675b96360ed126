# Turns a firmware container file into a C++ source defining embeddedFirmwareContainer().
# Run as: cmake -DINPUT=file.kdp -DOUTPUT=file.cpp -P EmbedFirmware.cmake
file(READ "${INPUT}" content HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${content}")
# One source line per container line.
string(REPLACE "0x0a," "0x0a,\n   " bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT}; do not edit.\n"
"#include \"link/embedded_firmware.h\"\n\n"
"namespace ormid {\n\nnamespace {\n\n"
"constexpr unsigned char kContainer[] = {\n    ${bytes}\n};\n\n"
"} // namespace\n\n"
"std::string_view embeddedFirmwareContainer()\n{\n"
"    return {reinterpret_cast<const char*>(kContainer), sizeof kContainer};\n}\n\n"
"} // namespace ormid\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
