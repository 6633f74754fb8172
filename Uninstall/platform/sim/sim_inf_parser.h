// The simulated SetupAPI's INF parser: INF file bytes in, sections of lines
// of fields out, and the string substitution applied when a field is read.
// Text is held as UTF-16 code units, as SetupAPI holds it, and converted to
// the ANSI code page (1252) only when an ANSI caller reads a field.
#ifndef UNINSTALL_PLATFORM_SIM_SIM_INF_PARSER_H
#define UNINSTALL_PLATFORM_SIM_SIM_INF_PARSER_H

#include <string>
#include <vector>

#include "../platform.h"

namespace sim {

struct InfLine {
    bool hasKey;                      // field 0 exists
    std::u16string key;               // as written, quotes removed, not substituted
    std::vector<std::u16string> fields; // fields 1.. as written, not substituted
};

struct InfSection {
    std::u16string name; // as first written; later same-named sections merge in
    std::vector<InfLine> lines;
};

struct InfText {
    std::vector<InfSection> sections;
};

// SetupAPI's own errors for INF files that do not parse or are not Windows 4
// style INFs.
const DWORD INF_ERROR_EXPECTED_SECTION_NAME = 0xE0000000u;
const DWORD INF_ERROR_BAD_SECTION_NAME_LINE = 0xE0000001u;
const DWORD INF_ERROR_SECTION_NAME_TOO_LONG = 0xE0000002u;
const DWORD INF_ERROR_WRONG_INF_STYLE = 0xE0000100u;
const DWORD INF_ERROR_LINE_NOT_FOUND = 0xE0000102u;
const DWORD INF_ERROR_FILE_INVALID = 1006u; // an empty file
const size_t INF_MAX_SECTION_NAME = 255;

// Parses a whole INF file as SetupOpenInfFile with INF_STYLE_WIN4 would:
// returns 0 and fills *inf, or the error the open fails with.
DWORD ParseInf(const std::string &fileBytes, InfText *inf);

// The section named so, compared without regard to ASCII case, or nullptr.
const InfSection *FindInfSection(const InfText &inf, const std::string &name);

// A field's text as an ANSI caller receives it: %strkey% tokens replaced
// from [Strings], %% made %, then converted to code page 1252 (characters it
// lacks become '?'). Sets *unmodelled for a directory-ID token such as %10%,
// which the simulation does not expand.
std::string ExpandInfField(const InfText &inf, const std::u16string &field, bool *unmodelled);

} // namespace sim

#endif // UNINSTALL_PLATFORM_SIM_SIM_INF_PARSER_H
