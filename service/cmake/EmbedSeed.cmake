# Writes the seed file as a byte array into a C++ source, so any content (quotes, backslashes,
# non-ASCII text) survives unchanged. Called with -DINPUT=<seed> -DOUTPUT=<source>.
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
file(WRITE ${OUTPUT}
  "// Generated from service/data/seed.json at build time; edit that file instead.\n"
  "#include \"service/SeedData.h\"\n\n"
  "namespace service {\n\n"
  "namespace {\nconst char kBytes[] = {${bytes} '\\0'};\n}\n\n"
  "std::string_view seedJson() { return {kBytes, sizeof(kBytes) - 1}; }\n\n"
  "} // namespace service\n")
