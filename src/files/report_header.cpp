#include "files/report_header.h"

#include "files/atomic_file.h"
#include "files/ini_file.h"
#include "files/resource_locator.h"

namespace ormid {

namespace {
constexpr std::string_view kSection = "Header";
} // namespace

ReportHeader reportHeaderFromIni(std::string_view iniText)
{
    const IniFile ini = IniFile::parse(iniText);
    return {ini.value(kSection, "Line1").value_or(std::string(kDefaultLine1)),
            ini.value(kSection, "Line2").value_or(std::string(kDefaultLine2))};
}

ReportHeader readReportHeader(const std::optional<std::filesystem::path>& path)
{
    if (path) {
        if (const FileReadResult file = readWholeFile(*path); file.ok())
            return reportHeaderFromIni(file.bytes);
    }
    return reportHeaderFromIni({});
}

ReportHeader loadReportHeader()
{
    return readReportHeader(findResource(kReportHeaderFile));
}

} // namespace ormid
