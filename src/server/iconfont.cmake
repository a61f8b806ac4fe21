# Turns iconfont.woff into a C++ source holding its base64 text.
#   cmake -DINPUT=iconfont.woff -DOUTPUT=iconfont_data.cpp -P iconfont.cmake
# The text is written as string literal pieces of 76 characters, which every compiler takes.

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR size "${hexLength} / 2")
if(size EQUAL 0)
    message(FATAL_ERROR "${INPUT}: empty file")
endif()

set(alphabet "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")
set(encoded "")
set(offset 0)
while(offset LESS hexLength)
    # Up to three bytes make one group of four characters; missing bytes pad with '='.
    math(EXPR left "(${hexLength} - ${offset}) / 2")
    if(left GREATER 3)
        set(left 3)
    endif()
    math(EXPR chars "${left} * 2")
    string(SUBSTRING "${hex}" ${offset} ${chars} group)
    if(left EQUAL 1)
        string(APPEND group "0000")
    elseif(left EQUAL 2)
        string(APPEND group "00")
    endif()
    math(EXPR value "0x${group}")
    math(EXPR i0 "(${value} >> 18) & 63")
    math(EXPR i1 "(${value} >> 12) & 63")
    math(EXPR i2 "(${value} >> 6) & 63")
    math(EXPR i3 "${value} & 63")
    string(SUBSTRING "${alphabet}" ${i0} 1 c0)
    string(SUBSTRING "${alphabet}" ${i1} 1 c1)
    string(SUBSTRING "${alphabet}" ${i2} 1 c2)
    string(SUBSTRING "${alphabet}" ${i3} 1 c3)
    if(left EQUAL 1)
        set(c2 "=")
        set(c3 "=")
    elseif(left EQUAL 2)
        set(c3 "=")
    endif()
    string(APPEND encoded "${c0}${c1}${c2}${c3}")
    math(EXPR offset "${offset} + 6")
endwhile()

string(LENGTH "${encoded}" encodedLength)
set(pieces "")
set(position 0)
while(position LESS encodedLength)
    string(SUBSTRING "${encoded}" ${position} 76 piece)
    string(APPEND pieces "    \"${piece}\"\n")
    math(EXPR position "${position} + 76")
endwhile()

set(text "// Generated from iconfont.woff (${size} bytes) by iconfont.cmake; do not edit.
#include \"server/iconfont.h\"

namespace quorvin {

namespace {

constexpr char woffBase64[] =
${pieces};

} // namespace

std::string_view iconFontWoffBase64() { return {woffBase64, sizeof woffBase64 - 1}; }

} // namespace quorvin
")
if(EXISTS "${OUTPUT}")
    file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
    file(WRITE "${OUTPUT}" "${text}")
endif()
