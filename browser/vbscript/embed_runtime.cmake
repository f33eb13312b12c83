# cmake -DINPUT=vbs_runtime.js -DOUTPUT=file.cpp -P embed_runtime.cmake
# Writes a C++ file whose VbsRuntimeJs() returns the runtime's text; the
# file is only replaced when its text changes, so nothing rebuilds needlessly.
file(READ "${INPUT}" text)
string(FIND "${text}" ")vbsjs\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} holds the raw string's end marker )vbsjs\"")
endif()
file(WRITE "${OUTPUT}.new"
     "// Generated from vbs_runtime.js by embed_runtime.cmake.\n"
     "#include \"browser/vbscript/vbscript.h\"\n\n"
     "const std::string& VbsRuntimeJs() {\n"
     "    static const std::string text = R\"vbsjs(${text})vbsjs\";\n"
     "    return text;\n"
     "}\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
