# Checks that a report is well formed, line by line: every line ends in
# CR LF with no other CR, there are exactly 15 drive blocks numbered 0 to
# 14, and each block is made of the lines the report format allows, in
# their order (docs/report-format.md). A line forged by text from a disk
# (a name, a label or a path that held a line end) breaks that order and
# is caught here. Prints the first fault with its line number and exits 1.
#
# usage: awk -f check_report.awk Quillbrane.txt
BEGIN {
  D19 = "-------------------"
  D20 = D19 "-"
  NUM = "^-?[0-9]+('[0-9][0-9][0-9])*$"
  HEX = "^[0-9A-F]+ [(]hex[)]$"
  GUID = "^[{][0-9A-F][0-9A-F-]*[0-9A-F][}]$"
  OPENERR = ">>> Drive open error #"
  GEOERR = ">>> DeviceIoControl(IOCTL_DISK_GET_DRIVE_GEOMETRY_EX) error #"
  LAYERR = ">>> DeviceIoControl(IOCTL_DISK_GET_DRIVE_LAYOUT_EX) error #"
  VOLUME = "  \\\\?\\Volume{"
  n = 0
  failed = 0
}

{
  if (substr($0, length($0), 1) != "\r") { i = NR; line[NR] = $0; n = NR; fail("the line does not end in CR LF") }
  line[++n] = substr($0, 1, length($0) - 1)
  if (index(line[n], "\r") > 0) { i = n; fail("a CR inside the line") }
}

END {
  if (failed) exit 1
  i = 1
  merged = 0
  for (d = 0; d < 15; d++) block(d)
  if (i <= n) fail("text after the block of drive 14")
  exit failed
}

function fail(msg) {
  if (failed) exit 1
  printf "report line %d: %s\n  line: [%s]\n", i, msg, (i <= n ? line[i] : "<end of report>") > "/dev/stderr"
  failed = 1
  exit 1
}

function starts(p) { return i <= n && substr(line[i], 1, length(p)) == p }
function rest(p) { return substr(line[i], length(p) + 1) }
function take(p) { if (!starts(p)) fail("expected \"" p "...\""); i++ }
function takeline(s) { if (!(i <= n && line[i] == s)) fail("expected \"" s "\""); i++ }
function takenum(p) { if (!starts(p) || rest(p) !~ NUM) fail("expected \"" p "\" and a grouped number"); i++ }
function takehex(p) { if (!starts(p) || rest(p) !~ HEX) fail("expected \"" p "\" and a hexadecimal value"); i++ }
function takeguid(p) {
  if (!starts(p) || rest(p) !~ GUID || length(rest(p)) != 38) fail("expected \"" p "\" and a GUID")
  i++
}

# A blank line, unless an error line without text was closed by it.
function blank() {
  if (merged) { merged = 0; return }
  takeline("")
}

# An error line: the prefix, the code, ": " and the system's text. A text
# ends with its own line end; without text, the next line end closes it.
function errline(p,   tail) {
  if (!starts(p)) fail("expected \"" p "\"")
  tail = rest(p)
  if (tail !~ /^[0-9]+: /) fail("expected the error code and \": \"")
  sub(/^[0-9]+: /, "", tail)
  merged = (tail == "")
  i++
}

function block(d,   dash) {
  dash = d < 10 ? D19 : D20
  takeline(dash)
  takeline("\\\\.\\PhysicalDrive" d ":")
  takeline(dash)
  if (starts(OPENERR)) {
    errline(OPENERR)
    blank()
    return
  }
  geometry()
  layout()
  blank()
}

function geometry() {
  if (starts(GEOERR)) { errline(GEOERR); return }
  blank()
  takeline("IOCTL_DISK_GET_DRIVE_GEOMETRY_EX:")
  take("- MediaType: ")
  takenum("- Cylinders: ")
  takenum("- TracksPerCylinder: ")
  takenum("- SectorsPerTrack: ")
  takenum("- BytesPerSector: ")
  takenum("- DiskSize: ")
  take("- PartitionStyle: ")
  if (starts("- Signature: ")) {
    takehex("- Signature: ")
    takehex("- Checksum: ")
    detection()
  } else if (starts("- GUID: ")) {
    takeguid("- GUID: ")
    detection()
  }
}

function detection() {
  if (!starts("- DetectionType: ") ||
      line[i] !~ /, [(]Int13[.]MaxCylinders: [0-9']+, ExInt13[.]ExCylinders: [0-9']+[)]$/) {
    fail("expected the detection line")
  }
  i++
}

function layout(   style, last) {
  if (starts(LAYERR)) { errline(LAYERR); return }
  blank()
  takeline("IOCTL_DISK_GET_DRIVE_LAYOUT_EX:")
  style = rest("- PartitionStyle: ")
  take("- PartitionStyle: ")
  takenum("- PartitionCount: ")
  if (style == "MBR") {
    takehex("- Signature: ")
    takehex("- CheckSum: ")
  } else if (style == "GPT") {
    takeguid("- DiskId: ")
    takenum("- StartingUsableOffset: ")
    takenum("- UsableLength: ")
    takenum("- MaxPartitionCount: ")
  }
  last = -1
  while (!merged && i + 1 <= n && line[i] == "" && substr(line[i + 1], 1, 17) == "> PartitionEntry[") {
    last = entry(last)
  }
}

function entry(last,   index_, style) {
  i++
  if (line[i] !~ /^> PartitionEntry[[][0-9]+[]]:$/) fail("expected an entry heading")
  index_ = substr(line[i], 18) + 0
  if (index_ <= last || index_ > 15) fail("entry index out of order or past 15")
  i++
  style = rest("  * PartitionStyle: ")
  take("  * PartitionStyle: ")
  takenum("  * StartingOffset: ")
  takenum("  * PartitionLength: ")
  takenum("  * PartitionNumber: ")
  take("  * RewritePartition: ")
  take("  * IsServicePartition: ")
  if (style == "GPT") {
    takeguid("  * PartitionType: ")
    takeguid("  * PartitionId: ")
    takehex("  * Attributes: ")
    take("  * Name: ")
    volume()
  } else if (style == "MBR") {
    takehex("  * PartitionType: ")
    take("  * BootIndicator: ")
    take("  * RecognizedPartition: ")
    takenum("  * HiddenSectors: ")
    takeguid("  * PartitionId: ")
    volume()
  }
  return index_
}

function volume(   k) {
  if (!starts(VOLUME) || length(line[i]) != 51 || substr(line[i], 50) != "}\\") fail("expected the volume path line")
  i++
  for (k = 1; starts("    - Path(" k "): "); k++) i++
  take("    - Drive type: ")
  if (starts("    - Volume name: ")) {
    i++
    take("    - File system: ")
    takehex("    - Serial number: ")
    takenum("    - Maximum component length: ")
    takehex("    - File system flags: ")
  }
}
