#pragma once

#include <array>
#include <string_view>

// The tables every data file holds (resources/db1.sql). The schema version is kDbSchemaVersion
// (store/Database.h).
inline constexpr std::array<std::string_view, 12> kSchemaTables = {
    "T_MASTER",        "T_DATA1",       "T_DATA2",      "T_DATA1_CAPTION",
    "T_DATA2_CAPTION", "T_DATA1_ITEM",  "T_DATA2_ITEM", "T_DATA_CLASS1",
    "T_DATA_CLASS2",   "T_DATA_CLASS3", "T_SYSTEM",     "T_MP_RANKING"};
