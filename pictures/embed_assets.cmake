# Turns the carried BMP files into C++ byte tables: cmake -DOUTPUT=… -DINPUTS=a|b|… -P embed_assets.cmake
string(REPLACE "|" ";" INPUTS "${INPUTS}")
set(names templateBlue templatePurple templateBrownA templateBrownB defaultPhotoBytes)
set(body "// Generated from pictures/assets by embed_assets.cmake; do not edit.\n#include \"pictures/assets.h\"\n\nnamespace pictures {\nnamespace {\n")
set(index 0)
foreach(input IN LISTS INPUTS)
  list(GET names ${index} name)
  if(EXISTS "${input}")
    file(READ "${input}" hex HEX)
  else()
    set(hex "")
  endif()
  string(LENGTH "${hex}" hexLength)
  math(EXPR length "${hexLength} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){32})" "\\1\n" bytes "${bytes}")
  if(length EQUAL 0)
    set(bytes "0")
    set(length 0)
  endif()
  string(APPEND body "const std::uint8_t ${name}[] = {\n${bytes}\n};\nconstexpr std::size_t ${name}Length = ${length};\n")
  math(EXPR index "${index} + 1")
endforeach()
string(APPEND body "}  // namespace

std::span<const std::uint8_t> templatePicture(int number) noexcept {
    switch (number) {
    case 1: return {templateBlue, templateBlueLength};
    case 2: return {templatePurple, templatePurpleLength};
    case 3: return {templateBrownA, templateBrownALength};
    case 4: return {templateBrownB, templateBrownBLength};
    default: return {};
    }
}

std::span<const std::uint8_t> defaultPhoto() noexcept { return {defaultPhotoBytes, defaultPhotoBytesLength}; }

}  // namespace pictures
")
file(WRITE "${OUTPUT}.tmp" "${body}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
