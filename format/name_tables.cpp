// Name tables for BOOLEAN, PARTITION_STYLE, DETECTION_TYPE, MEDIA_TYPE and
// the drive types, in the platform's numeric order.
#include "format/name_tables.h"

#include "format/format.h"

namespace quillbrane {
namespace {

constexpr std::string_view YesNo[] = {"No", "Yes"};

constexpr std::string_view PartitionStyles[] = {"MBR", "GPT", "RAW"};

constexpr std::string_view DetectionTypes[] = {"None", "Int13", "ExInt13"};

constexpr std::string_view MediaTypes[] = {
    "Unknown",        "F5_1Pt2_512",   "F3_1Pt44_512",  "F3_2Pt88_512", "F3_20Pt8_512",
    "F3_720_512",     "F5_360_512",    "F5_320_512",    "F5_320_1024",  "F5_180_512",
    "F5_160_512",     "RemovableMedia", "FixedMedia",   "F3_120M_512",  "F3_640_512",
    "F5_640_512",     "F5_720_512",    "F3_1Pt2_512",   "F3_1Pt23_1024", "F5_1Pt23_1024",
    "F3_128Mb_512",   "F3_230Mb_512",  "F8_256_128",    "F3_200Mb_512", "F3_240M_512",
    "F3_32M_512",
};
static_assert(std::size(MediaTypes) == 26);

constexpr std::string_view DriveTypes[] = {"Unknown type", "Invalid", "Removable", "Fixed",
                                           "Remote",       "CD-ROM",  "RAM disk"};

}  // namespace

const NameTable YesNoNames{YesNo};
const NameTable PartitionStyleNames{PartitionStyles};
const NameTable DetectionTypeNames{DetectionTypes};
const NameTable MediaTypeNames{MediaTypes};
const NameTable DriveTypeNames{DriveTypes};

std::string NameOf(NameTable table, std::uint32_t value) {
  if (value < table.size()) return std::string(table[value]);
  return FormatDecimal(value);
}

}  // namespace quillbrane
