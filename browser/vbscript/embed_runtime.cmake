# cmake -DINPUT=file.js -DOUTPUT=file.cpp [-DFUNCTION=Name -DHEADER=path.h] -P embed_runtime.cmake
# Writes a C++ file whose FUNCTION() (VbsRuntimeJs by default) returns the
# script's text, declared in HEADER (browser/vbscript/vbscript.h by default);
# the file is only replaced when its text changes, so nothing rebuilds
# needlessly.
if(NOT FUNCTION)
  set(FUNCTION VbsRuntimeJs)
endif()
if(NOT HEADER)
  set(HEADER browser/vbscript/vbscript.h)
endif()
get_filename_component(source_name "${INPUT}" NAME)
file(READ "${INPUT}" text)
string(FIND "${text}" ")vbsjs\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} holds the raw string's end marker )vbsjs\"")
endif()
file(WRITE "${OUTPUT}.new"
     "// Generated from ${source_name} by embed_runtime.cmake.\n"
     "#include \"${HEADER}\"\n\n"
     "const std::string& ${FUNCTION}() {\n"
     "    static const std::string text = R\"vbsjs(${text})vbsjs\";\n"
     "    return text;\n"
     "}\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
