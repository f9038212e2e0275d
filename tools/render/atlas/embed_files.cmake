# Turns the atlas page's files into a C++ source of byte arrays, so that the tools' library
# carries them and needs nothing at run time.
#   cmake -DOUTPUT=out.cpp -DINPUTS="a;b" -P embed_files.cmake
set(arrays "")
set(entries "")
set(number 0)
foreach(input ${INPUTS})
  file(READ ${input} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n"
                       bytes "${bytes}")
  get_filename_component(name ${input} NAME)
  string(APPEND arrays "constexpr std::uint8_t kFile${number}[] = {\n${bytes}};\n")
  string(APPEND entries "    PageFile{\"${name}\", kFile${number}},\n")
  math(EXPR number "${number} + 1")
endforeach()
file(WRITE ${OUTPUT}.new
     "// Made by embed_files.cmake from tools/render/atlas/ at build time.\n"
     "#include \"tools/render/atlas_page.h\"\n\n#include <array>\n\n"
     "namespace karst::tools {\nnamespace {\n\n${arrays}\n"
     "constexpr std::array kFiles{\n${entries}};\n\n}  // namespace\n\n"
     "std::span<const PageFile> AtlasPageFiles() { return kFiles; }\n\n}  // namespace karst::tools\n")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
