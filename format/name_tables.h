// The words the report prints for the platform's enumerations and flags.
// Each table is indexed directly by the field's value, from 0.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quillbrane {

using NameTable = std::span<const std::string_view>;

extern const NameTable YesNoNames;
extern const NameTable PartitionStyleNames;
extern const NameTable DetectionTypeNames;
extern const NameTable MediaTypeNames;
extern const NameTable DriveTypeNames;

// The table's entry for `value`; a value outside the table prints as its
// plain decimal number, so the report never reads outside a table.
std::string NameOf(NameTable table, std::uint32_t value);

}  // namespace quillbrane
