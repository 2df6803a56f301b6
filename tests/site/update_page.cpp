#include "tests/site/site_pages.h"

namespace zenvira::site {

std::string updatePageText(const std::string& version) {
    return "<!DOCTYPE html>\n"
           "<html>\n<head>\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n"
           "<title>Zenvira - downloads</title>\n</head>\n<body>\n"
           "<div id=\"header\">Zenvira</div>\n"
           "<div id=\"news\">Faster downloads and a new converter profile.</div>\n"
           "<div id=\"mver\">" + version + "</div>\n"
           "<div id=\"mdate\">2010-11-20</div>\n"
           "<div id=\"footer\">Thank you for using Zenvira.</div>\n"
           "</body>\n</html>\n";
}

}  // namespace zenvira::site
