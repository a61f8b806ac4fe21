# Turns mimetypes.tsv into a C++ source with one array of rows.
#   cmake -DINPUT=mimetypes.tsv -DOUTPUT=mimetypes_data.cpp -P mimetable.cmake
# Each line of the input is "extension<TAB>type/subtype". The characters allowed in both
# columns exclude '"', '\' and ';', so each value can stand in a string literal as it is.

file(STRINGS "${INPUT}" lines ENCODING UTF-8)
set(body "")
set(count 0)
set(number 0)
foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    if(NOT line MATCHES "^([a-z0-9$+_~-]+)\t([A-Za-z0-9][A-Za-z0-9!#$&^_.+-]*/[A-Za-z0-9][A-Za-z0-9!#$&^_.+-]*)$")
        message(FATAL_ERROR "${INPUT}:${number}: not an extension and a media type: '${line}'")
    endif()
    string(APPEND body "    {\"${CMAKE_MATCH_1}\", \"${CMAKE_MATCH_2}\"},\n")
    math(EXPR count "${count} + 1")
endforeach()
if(count EQUAL 0)
    message(FATAL_ERROR "${INPUT}: no rows")
endif()

set(text "// Generated from mimetypes.tsv by mimetable.cmake; edit the data file instead.
#include \"server/mimetable.h\"

namespace quorvin {

namespace {

constexpr MimeRow builtinRows[${count}] = {
${body}};

} // namespace

std::span<const MimeRow> builtinMimeRows() { return builtinRows; }

} // namespace quorvin
")
# Rewrite only on change so that an unchanged table does not recompile.
if(EXISTS "${OUTPUT}")
    file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
    file(WRITE "${OUTPUT}" "${text}")
endif()
