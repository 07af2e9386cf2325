#pragma once

// The page templates and their stylesheet, compiled in from records/pages/ at build time.

#include <string_view>

extern const std::string_view kReportTemplate;     // report.html.mustache
extern const std::string_view kIndexTemplate;      // index.html.mustache
extern const std::string_view kIndexRunTemplate;   // index-run.mustache
extern const std::string_view kIndexHeadTemplate;  // index-head.mustache
extern const std::string_view kPageStyle;          // style.css
