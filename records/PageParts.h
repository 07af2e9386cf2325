#pragma once

// What the report of a run and the index of the runs folder share: rendering a template with the
// shared stylesheet, and the few ways both show a run.

#include <filesystem>
#include <kainjow/mustache.hpp>
#include <string>
#include <string_view>

#include "records/RecordedRun.h"

namespace page {

using Data = kainjow::mustache::data;

inline Data MakeList() {
  return Data(Data::type::list);
}

// Renders one of the page templates; `{{> style}}` brings in the stylesheet. Every `{{name}}`
// is escaped for HTML, and a template that asks for a value as it is (`{{{name}}}` or
// `{{&name}}`) is refused as a fault of this build. What the pages hold of HTML made apart (the
// index's rows) goes in after rendering, in place of a mark (RunsIndex.cpp).
std::string Render(std::string_view pageTemplate, const Data& data);

// The most characters a text shows in a table's cell or a heading; a longer one is cut.
inline constexpr std::size_t kLongestShown = 40;

// Puts a text as ShownText made it under `name`, cut to `longest` characters with an ellipsis when
// it is longer, and the whole text under name + "Title" when it was cut (else false): the template
// makes that the title of its cell, so that no single hand-edited record widens a table.
void SetCut(Data& data, const std::string& name, const std::string& shown,
            std::size_t longest = kLongestShown);

// "2024-05-01 10:11:12 +02:00" from the record's ISO 8601 time, shown as text.
std::string ShownDate(std::string_view iso);
// "completed", "failed" or "other": the class that colours a result.
std::string ResultClass(const RecordedRun& run);
// A file name of the runs folder as a relative link: every byte but letters, digits and "-._~"
// percent-encoded, so that no name can leave the attribute or become a scheme.
std::string LinkTo(std::string_view fileName);
// A path as UTF-8 text, also on Windows, and back.
std::string PathText(const std::filesystem::path& path);
std::filesystem::path PathOf(std::string_view text);

}  // namespace page
