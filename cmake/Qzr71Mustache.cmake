# kainjow's Mustache templates, header only, as nlohmann-json.
include(Qzr71HeaderOnly)
qzr71_header_only(qzr71::mustache kainjow kainjow/mustache.hpp)
