#pragma once

#include <array>
#include <string_view>

// The schema version this program reads and writes, kept in PRAGMA user_version of the data
// file (resources/db1.sql sets it). A file with a higher version comes from a newer program.
inline constexpr int kSchemaVersion = 1;

// The tables every data file of this schema holds.
inline constexpr std::array<std::string_view, 12> kSchemaTables = {
    "T_MASTER",        "T_DATA1",       "T_DATA2",      "T_DATA1_CAPTION",
    "T_DATA2_CAPTION", "T_DATA1_ITEM",  "T_DATA2_ITEM", "T_DATA_CLASS1",
    "T_DATA_CLASS2",   "T_DATA_CLASS3", "T_SYSTEM",     "T_MP_RANKING"};
