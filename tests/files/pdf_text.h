#pragma once
// The report's PDF read back with poppler, an independent reader: each page's text as
// phrases at their places in report coordinates (points, origin at the bottom left,
// y the baseline), so a test states what a page shows where.

#include <poppler-document.h>
#include <poppler-font.h>
#include <poppler-page.h>

#include <cmath>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ormid::test {

struct PdfPhrase {
    int x = 0;
    int y = 0; // the baseline
    std::string text;
    bool bold = false;
};

struct PdfReadBack {
    std::vector<std::vector<PdfPhrase>> pages;
    std::string creator;
    std::optional<std::string> author; // nullopt when the document has no Author entry
    std::time_t created = 0;
    std::vector<std::string> fonts; // "name embedded subset"
};

inline std::string utf8(const poppler::ustring& text)
{
    const poppler::byte_array bytes = text.to_utf8();
    return std::string(bytes.begin(), bytes.end());
}

// Words on one baseline that follow each other with a single space form one phrase.
inline std::vector<PdfPhrase> phrasesOf(const poppler::page& page)
{
    constexpr double kPageHeight = 841.89;
    constexpr double kDescent = 0.212 * 12; // Arial's descent below the baseline at 12 pt
    constexpr double kMinSpace = 2.8;       // a space at 12 pt is 3.3 points wide
    constexpr double kMaxSpace = 5;
    std::vector<PdfPhrase> phrases;
    double previousRight = 0;
    bool previousSpace = false;
    for (const poppler::text_box& word : page.text_list(poppler::page::text_list_include_font)) {
        const poppler::rectf box = word.bbox();
        const int y = static_cast<int>(std::lround(kPageHeight - box.bottom() + kDescent));
        const double gap = box.left() - previousRight;
        const bool joins
            = !phrases.empty() && previousSpace && phrases.back().y == y && gap > kMinSpace && gap < kMaxSpace;
        if (joins) {
            phrases.back().text += " " + utf8(word.text());
        } else {
            phrases.push_back({static_cast<int>(std::lround(box.left())), y, utf8(word.text()),
                               word.get_font_name().find("Bold") != std::string::npos});
        }
        previousRight = box.right();
        previousSpace = word.has_space_after();
    }
    return phrases;
}

// Nullopt when poppler cannot open the bytes as a PDF document.
inline std::optional<PdfReadBack> readPdf(const std::string& bytes)
{
    const std::unique_ptr<poppler::document> document(
        poppler::document::load_from_raw_data(bytes.data(), static_cast<int>(bytes.size())));
    if (!document)
        return std::nullopt;
    PdfReadBack result;
    for (int i = 0; i < document->pages(); ++i) {
        const std::unique_ptr<poppler::page> page(document->create_page(i));
        result.pages.push_back(phrasesOf(*page));
    }
    result.creator = utf8(document->info_key("Creator"));
    for (const std::string& key : document->info_keys()) {
        if (key == "Author")
            result.author = utf8(document->info_key(key));
    }
    result.created = document->get_creation_date_t();
    for (const poppler::font_info& font : document->fonts())
        result.fonts.push_back(font.name() + (font.is_embedded() ? " embedded" : "")
                               + (font.is_subset() ? " subset" : ""));
    return result;
}

// The phrases of report line n (baseline 750 - 25 n) as "x:text", left to right.
inline std::vector<std::string> reportLine(const std::vector<PdfPhrase>& page, int n)
{
    std::vector<std::string> line;
    for (const PdfPhrase& phrase : page) {
        if (phrase.y == 750 - 25 * n)
            line.push_back(std::to_string(phrase.x) + ":" + phrase.text);
    }
    return line;
}

// The phrase that starts at (x, y); nullopt when none does.
inline std::optional<PdfPhrase> phraseAt(const std::vector<PdfPhrase>& page, int x, int y)
{
    for (const PdfPhrase& phrase : page) {
        if (phrase.x == x && phrase.y == y)
            return phrase;
    }
    return std::nullopt;
}

} // namespace ormid::test
