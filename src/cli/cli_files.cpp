// ormid-cli's file commands: new, check, show, report.

#include <algorithm>
#include <ctime>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/cli.h"
#include "cli/cli_commands.h"
#include "core/image.h"
#include "core/text_codec.h"
#include "files/atomic_file.h"
#include "files/config_file.h"
#include "files/dimming_curve_file.h"
#include "files/file_kind.h"
#include "files/report_header.h"
#include "files/report_layout.h"
#include "files/report_model.h"
#include "files/report_pdf.h"
#include "link/firmware_image.h"

namespace ormid::cliCommands {

namespace {

constexpr std::string_view kNoDataLines = "The file holds no data lines.";
// `check` reads no more than the largest kind of file it knows can hold.
constexpr std::size_t kMaxCheckedFileSize
    = std::max({kMaxConfigurationFileSize, kMaxFirmwareFileSize, kMaxCurveFileSize});

// What `check` found: printed as "name: value" lines, the messages on standard error.
struct CheckReport {
    bool valid = false;
    std::vector<std::pair<std::string, std::string>> details;
    std::vector<std::string> messages;
};

CheckReport checkConfiguration(std::string_view bytes)
{
    CheckReport report;
    const auto loaded = loadConfiguration(bytes, makeDefaultImage(), {});
    report.messages.assign(loaded.messages.begin(), loaded.messages.end());
    report.valid = loaded.outcome == ConfigLoadOutcome::Loaded;
    if (loaded.info)
        report.details.emplace_back("info", *loaded.info);
    if (loaded.outcome == ConfigLoadOutcome::Ignored)
        report.messages.emplace_back(kNoDataLines);
    return report;
}

std::string_view firmwareProblem(const FirmwareContainer& container)
{
    switch (container.status) {
    case FirmwareContainerStatus::Valid:
        return {};
    case FirmwareContainerStatus::NotContainer:
        return configMessage::notRecognised;
    case FirmwareContainerStatus::CrcMismatch:
    case FirmwareContainerStatus::TooManyLines:
    case FirmwareContainerStatus::CorruptLine:
        break;
    }
    return configMessage::corrupted;
}

CheckReport checkFirmware(std::string_view bytes)
{
    CheckReport report;
    const auto container = parseFirmwareContainer(bytes);
    if (container.status != FirmwareContainerStatus::NotContainer) {
        report.details.emplace_back("size", std::to_string(container.header.size) + " bytes");
        report.details.emplace_back("version", "1." + std::to_string(container.header.version));
        report.details.emplace_back("data lines", std::to_string(container.dataLines));
    }
    if (!firmwareSizeFits(container.header.size)) {
        report.messages.push_back("The image size " + std::to_string(container.header.size) + " does not fit the "
                                  + std::to_string(kFirmwareBufferSize) + "-byte firmware buffer.");
        return report;
    }
    const std::string_view problem = firmwareProblem(container);
    const std::string sizeProblem = problem.empty() ? imageSizeProblem(container) : std::string();
    report.valid = problem.empty() && sizeProblem.empty();
    if (!problem.empty())
        report.messages.emplace_back(problem);
    if (!sizeProblem.empty())
        report.messages.push_back(sizeProblem);
    return report;
}

CheckReport checkDimmingCurve(std::string_view bytes)
{
    CheckReport report;
    const auto curve = readDimmingCurve(bytes, {});
    report.valid = curve.valid();
    if (!report.valid)
        report.messages.emplace_back(curveFileMessage(curve.status));
    return report;
}

CheckReport checkUnknown(std::string_view)
{
    CheckReport report;
    report.messages.emplace_back(configMessage::notRecognised);
    return report;
}

using Checker = CheckReport (*)(std::string_view bytes);

Checker checkerFor(FileKind kind)
{
    switch (kind) {
    case FileKind::Configuration:
    case FileKind::OldConfiguration:
        return checkConfiguration;
    case FileKind::FirmwareContainer:
        return checkFirmware;
    case FileKind::DimmingCurve:
        return checkDimmingCurve;
    case FileKind::Unknown:
        break;
    }
    return checkUnknown;
}

// Why `show` cannot print a file that "Load" does not take as a configuration.
std::string_view showRefusal(ConfigLoadOutcome outcome)
{
    switch (outcome) {
    case ConfigLoadOutcome::Firmware:
        return "The file is a firmware container, not a configuration.";
    case ConfigLoadOutcome::Ignored:
        return kNoDataLines;
    case ConfigLoadOutcome::Loaded:
    case ConfigLoadOutcome::Corrupted:
    case ConfigLoadOutcome::NotRecognised:
        break;
    }
    return {}; // the loader's own message has said it
}

// Report pages as PNG: 2 pixels per point, 144 dpi.
constexpr double kPngPixelsPerPoint = 2.0;

// A project field's text cut to the characters the window's field takes, with a note when cut.
std::string projectField(const Arguments& args, std::string_view option, std::size_t maxCharacters, std::ostream& err)
{
    const std::string* given = args.value(option);
    if (given == nullptr)
        return {};
    std::string text = *given;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && ++characters > maxCharacters) {
            text.erase(i);
            err << "Note: " << option << " is cut to " << maxCharacters << " characters.\n";
            break;
        }
    }
    return text;
}

// The options of the profile page go with --profile, which needs a site and a date.
constexpr std::string_view kProfileOptions[] = {"--lat", "--date", "--twilight", "--lst", "--age-hours"};

// The night of the profile page: none without --profile; nullopt after a usage error.
std::optional<std::optional<ProfileRequest>> reportProfileRequest(const Arguments& args, std::ostream& err)
{
    if (!args.flag("--profile")) {
        for (const std::string_view option : kProfileOptions)
            if (args.value(option)) {
                usageError(err, std::string(option) + " goes with --profile");
                return std::nullopt;
            }
        return std::optional<ProfileRequest>();
    }
    if (!args.value("--lat") || !args.value("--date")) {
        usageError(err, "report --profile needs --lat and --date");
        return std::nullopt;
    }
    std::optional<ProfileRequest> request = profileRequest(args, err);
    if (!request)
        return std::nullopt;
    return request;
}

} // namespace

bool writeOutput(const std::string& path, const std::string& bytes, std::ostream& out, std::ostream& err)
{
    const auto written = writeFileAtomically(path, bytes);
    if (!written.ok()) {
        err << written.error << '\n';
        return false;
    }
    out << "Wrote " << path << '\n';
    return true;
}

int runNewCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    const std::string& path = *args.value("-o");
    const std::string* info = args.value("--info");
    const std::string infoText = info ? *info : std::string();
    if (utf8ToCp1252(infoText).size() > kInfoLength)
        err << "Note: the info text is cut to " << kInfoLength << " characters.\n";

    return writeOutput(path, saveConfiguration(makeDefaultImage(), infoText), out, err) ? cliExit::success
                                                                                        : cliExit::invalidInput;
}

int runCheckCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    const std::string& path = args.positional.front();
    const auto file = readWholeFile(path, kMaxCheckedFileSize);
    if (!file.ok()) {
        err << file.error << '\n';
        return cliExit::invalidInput;
    }
    const FileKind kind = classifyFile(file.bytes, path);
    const CheckReport report = checkerFor(kind)(file.bytes);

    out << "file: " << path << "\nkind: " << fileKindName(kind) << "\nvalid: " << (report.valid ? "yes" : "no") << '\n';
    for (const auto& [name, value] : report.details)
        out << name << ": " << value << '\n';
    for (const auto& message : report.messages)
        err << message << '\n';
    return report.valid ? cliExit::success : cliExit::invalidInput;
}

// A configuration file as "Load" takes it onto the default image; nullopt, the
// reasons on `err`, when it cannot be used.
std::optional<ConfigLoadResult> loadConfigurationFile(const std::string& path, ConfigLoadOptions options,
                                                      std::ostream& err, FileImage fileImage)
{
    const auto file = readWholeFile(path, kMaxConfigurationFileSize);
    if (!file.ok()) {
        err << file.error << '\n';
        return std::nullopt;
    }
    auto loaded = fileImage == FileImage::asLoad ? loadAndRedraw(file.bytes, makeDefaultImage(), options, false)
                                                 : loadConfiguration(file.bytes, makeDefaultImage(), options);
    for (const auto message : loaded.messages)
        err << message << '\n';
    if (loaded.outcome != ConfigLoadOutcome::Loaded) {
        if (const auto refusal = showRefusal(loaded.outcome); !refusal.empty())
            err << refusal << '\n';
        return std::nullopt;
    }
    return loaded;
}

int runShowCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    EeBlock image = makeDefaultImage();
    if (!args.positional.empty()) {
        const ConfigLoadOptions options{.noLoadCheck = args.flag("--no-load-check"),
                                        .copyAstro = args.flag("--copy-astro")};
        auto loaded = loadConfigurationFile(args.positional.front(), options, err);
        if (!loaded)
            return cliExit::invalidInput;
        if (!loaded->info->empty())
            out << "Info: " << *loaded->info << "\n\n";
        image = std::move(loaded->image);
    }
    out << formatReportText(buildReportModel(image, nullptr));
    return cliExit::success;
}

int runReportCommand(const Arguments& args, std::ostream& out, std::ostream& err)
{
    const std::optional<std::optional<ProfileRequest>> request = reportProfileRequest(args, err);
    if (!request)
        return cliExit::usage;
    const auto loaded = loadConfigurationFile(args.positional.front(), {}, err);
    if (!loaded)
        return cliExit::invalidInput;
    const std::time_t now = std::time(nullptr);
    const ReportProject project{projectField(args, "--project", kProjectNameLength, err),
                                projectField(args, "--luminaire", kLuminaireLength, err),
                                projectField(args, "--driver", kDriverLength, err), shortDate(now)};
    if (project.name.empty() && !(project.luminaire.empty() && project.driver.empty()))
        err << "Note: luminaire and driver are printed only with a project name (--project).\n";

    std::optional<ReportProfile> profile;
    if (*request) {
        profile = buildReportProfile(loaded->image, **request);
        if (!profile) {
            err << "ormid-cli: the sun series holds from " << kFirstSeriesYear << " on\n";
            return cliExit::invalidInput;
        }
    }
    const std::vector<ReportPage> pages
        = layoutReport(buildReportModel(loaded->image, &project), loadReportHeader(), profile ? &*profile : nullptr);
    const RenderResult pdf = renderReportPdf(pages, now);
    if (!pdf.ok()) {
        err << pdf.error << '\n';
        return cliExit::invalidInput;
    }
    if (!writeOutput(*args.value("-o"), pdf.bytes, out, err))
        return cliExit::invalidInput;
    const std::string* pngPrefix = args.value("--png");
    if (pngPrefix == nullptr)
        return cliExit::success;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const RenderResult png = renderReportPng(pages[i], kPngPixelsPerPoint);
        if (!png.ok()) {
            err << png.error << '\n';
            return cliExit::invalidInput;
        }
        if (!writeOutput(*pngPrefix + "-" + std::to_string(i + 1) + ".png", png.bytes, out, err))
            return cliExit::invalidInput;
    }
    return cliExit::success;
}

} // namespace ormid::cliCommands
