#pragma once
// The two address lines at the top of every report page, from the settings file
// pdf.ini (section `Header`, keys `Line1` and `Line2`). The file is only read; a
// missing file or key gives the default line. The window and ormid-cli both read it here.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ormid {

struct ReportHeader {
    std::string line1;
    std::string line2;
};

inline constexpr std::string_view kReportHeaderFile = "pdf.ini";
inline constexpr std::string_view kDefaultLine1 = "Keldor Deutschland GmbH";
inline constexpr std::string_view kDefaultLine2 = "Musterstraße 1, 12345 Musterstadt, Germany";

// The header a settings file's text gives.
ReportHeader reportHeaderFromIni(std::string_view iniText);

// The header from the settings file at `path`; the defaults when there is no path or
// the file cannot be read.
ReportHeader readReportHeader(const std::optional<std::filesystem::path>& path);

// The header from pdf.ini where the program finds its data files (resource_locator.h).
ReportHeader loadReportHeader();

} // namespace ormid
