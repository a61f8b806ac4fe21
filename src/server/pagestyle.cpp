// The page stylesheet: icon font face, the three icon rules and the layout of a listing.
#include "server/pagestyle.h"

#include "server/iconfont.h"

#include <string_view>

namespace quorvin {

namespace {

constexpr std::string_view fontFaceStart = R"css(
@font-face {
  font-family: 'entypo';
  src: url(data:application/font-woff;charset=utf-8;base64,)css";

constexpr std::string_view fontFaceEnd = R"css() format('woff');
  font-weight: normal;
  font-style: normal;
}
)css";

constexpr std::string_view rules = R"css(.entypo {
  font-family: 'entypo';
  speak: none;
  font-style: normal;
  font-weight: 200;
  font-variant: normal;
  text-transform: none;
  vertical-align: baseline;
  padding: 3px;
  line-height: 1;
  -webkit-font-smoothing: antialiased;
  -moz-osx-font-smoothing: grayscale;
}
.i-back:before { content: "\e602\00a0"; }
.i-file:before { content: "\e600\00a0"; }
.i-folder:before { content: "\e601\00a0"; }
html {
  font-family: sans-serif;
  -ms-text-size-adjust: 100%;
  -webkit-text-size-adjust: 100%;
}
body { margin: 0; }
a {
  font: 15px "Source Sans Pro", "Calibri", "Helvetica", "Arial", "Freesans", "Clean", sans-serif;
  background: transparent;
}
a:focus { outline: thin dotted; }
a:active, a:hover { outline: 0; }
h1 { font-size: 2em; margin: 0.67em 0; }
b, strong { font-weight: bold; }
hr {
  -moz-box-sizing: content-box;
  box-sizing: content-box;
  height: 0;
}
code, pre { font-family: monospace; font-size: 1em; }
pre { white-space: pre-wrap; }
q { quotes: "\201C" "\201D" "\2018" "\2019"; }
small { font-size: 80%; }
table { border-collapse: collapse; border-spacing: 0; }
body {
  background-color: #fff;
  margin: 0 auto;
  height: 100%;
  zoom: 1;
  letter-spacing: normal;
  word-spacing: normal;
  color: #333333;
  font: 15px "Source Sans Pro", "Calibri", "Helvetica", "Arial", "Freesans", "Clean", sans-serif;
  line-height: 1.4;
  -webkit-font-smoothing: antialiased;
  width: 960px;
}
@media screen and (max-width: 659px) {
  body { width: 100%; }
}
@media screen and (min-width: 660px) {
  body { width: 660px; }
}
#main, #footer, #header { width: 94%; margin: auto; }
#footer {
  border-top: 1px solid #dddddd;
  text-align: center;
  font-size: 75%;
}
#footer p { line-height: 0.6em; }
ul, ol { padding-left: 30px; }
li p { margin: 0 auto; }
li { list-style-type: none; }
dl dd { margin: 0 0 0 32%; padding: 0 0 0.2em 0; }
h1, h2, h3, h4, h5, h6 { color: #111111; border-bottom: 1px solid #dddddd; }
h1 { text-align: center; }
pre {
  -moz-background-clip: padding;
  -webkit-background-clip: padding-box;
  background-clip: padding-box;
  -webkit-border-radius: 3px;
  -moz-border-radius: 3px;
  border-radius: 3px;
  margin: 10px auto;
  margin: auto;
  padding: 2px 4px 0 4px;
  padding: 0;
  box-shadow: 0 1px 3px rgba(0, 0, 0, 0.1);
  text-shadow: 0 1px 0 rgba(255, 255, 255, 0.8);
  color: #333333;
  background-color: #f8f8f8;
  border: 1px solid #cccccc;
  font-family: "Source Code Pro", "Monaco", "DejaVu Sans Mono", "Courier New", monospace;
}
pre a { color: #264c72; }
pre p { margin: 0 auto; }
pre code {
  box-shadow: none;
  background: #f8f8f8;
  padding: 0px 2px 0 2px;
  border: none;
}
@media screen and (max-width: 639px) {
  .responsive {
    width: 100%;
    overflow-y: hidden;
    overflow-x: auto;
    -webkit-overflow-scrolling: touch;
  }
  .responsive td { white-space: nowrap; }
}
table {
  border-collapse: collapse;
  margin: 15px auto;
  border-spacing: 0;
  empty-cells: show;
}
table thead {
  background: #f8f8f8;
  color: #222;
  text-align: left;
  vertical-align: bottom;
}
table td, table th {
  background-color: transparent;
  border: 1px solid #999999;
  font-size: inherit;
  margin: 0;
  overflow: visible;
  padding: 6px 12px;
}
hr {
  border: 0;
  height: 1px;
  background-image: -webkit-linear-gradient(left, rgba(99, 99, 99, 0), rgba(99, 99, 99, 0.75), rgba(99, 99, 99, 0));
  background-image: -moz-linear-gradient(left, rgba(99, 99, 99, 0), rgba(99, 99, 99, 0.75), rgba(99, 99, 99, 0));
  background-image: -ms-linear-gradient(left, rgba(99, 99, 99, 0), rgba(99, 99, 99, 0.75), rgba(99, 99, 99, 0));
  background-image: -o-linear-gradient(left, rgba(99, 99, 99, 0), rgba(99, 99, 99, 0.75), rgba(99, 99, 99, 0));
}
.center { margin: auto; text-align: center; }
a, a:visited { color: #4183c4; text-decoration: none; }
a:hover, a:visited:hover { text-decoration: underline; }
)css";

std::string buildStyle() {
    std::string_view font = iconFontWoffBase64();
    std::string style;
    style.reserve(fontFaceStart.size() + font.size() + fontFaceEnd.size() + rules.size());
    style += fontFaceStart;
    style += font;
    style += fontFaceEnd;
    style += rules;
    return style;
}

} // namespace

const std::string& pageStyle() {
    static const std::string style = buildStyle();
    return style;
}

} // namespace quorvin
