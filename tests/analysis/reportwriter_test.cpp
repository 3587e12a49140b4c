// The JSON forms of the period report: always valid JSON, whatever bytes
// the file name and the band hold, and the one-line record carrying the
// same keys and numbers as the indented report.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <string>

#include "reportwriter.h"

namespace {

using Json = nlohmann::ordered_json;

// A report with every part filled: peaks, prewhitening, a fold, and values
// that no fit gave (NaN) beside numbers that need all their digits.
PeriodReport MadeReport(const std::string &file, const std::string &band)
{
    PeriodReport r;
    r.file = file;
    r.band = band;
    r.timeScale = "HJD";
    r.observations = 4254;
    r.first = 53000.229199999943;
    r.last = 53999.744400000200;
    r.span = r.last - r.first;
    r.meanMagnitude = 3.9031711330512495;
    r.skippedLimits = 3;
    r.skippedOtherBands = 11;
    r.skippedEmpty = 0;
    r.grid = {2, 10, 19991, 8 / 19991.0, true, false, false, 0, 0, ""};
    r.significanceLevel = 0.0015;
    r.spectrumFile = "x.ven";
    r.peaks = {{5.366341, 1.2e-4, 1 / 5.366341, 0.75, 1e-320, 0.31, 53500.1, 0.12},
               {2.683, NAN, 1 / 2.683, 0.1, 0.5, NAN, NAN, 0.2}};
    r.prewhitening = {{5.366341, 1.1e-4, 1 / 5.366341, 0.3, 0.01, 53500.1, 0.75, 1e-300, 0.13}};
    r.hasFold = true;
    r.fold = {5.366341, 53500.1, 0.3, 3.9, 0.12};
    return r;
}

} // namespace

// Bytes that are not UTF-8 become U+FFFD, one for each byte that cannot
// begin or continue a character and one for a character cut short; UTF-8
// and the characters JSON escapes itself come out as they always did.
TEST(JsonReport, NamesAndBandsThatAreNotUtf8AreReplacedAndTheRestKept)
{
    const std::string R = "\xEF\xBF\xBD"; // U+FFFD in UTF-8
    const struct {
        const char *name;
        std::string given, parsed, written;
    } cases[] = {
        {"a stray byte in a file name", "d\xff" "cep.tsv", "d" + R + "cep.tsv", "\"d" + R + "cep.tsv\""},
        {"a Latin-1 letter at the end", "Vis\xe9", "Vis" + R, "\"Vis" + R + "\""},
        {"a Latin-1 letter inside", "Vis\xe9l", "Vis" + R + "l", "\"Vis" + R + "l\""},
        {"two stray bytes", "\xff\xfe", R + R, "\"" + R + R + "\""},
        {"a character cut short", "V\xe2\x82", "V" + R, "\"V" + R + "\""},
        {"UTF-8 letters", "\xce\xb4 Cep, Vis\xc3\xa9", "\xce\xb4 Cep, Vis\xc3\xa9", "\"\xce\xb4 Cep, Vis\xc3\xa9\""},
        {"quote, backslash and line end", "a\"b\\c\nd", "a\"b\\c\nd", "\"a\\\"b\\\\c\\nd\""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const PeriodReport report = MadeReport(c.given, c.given);
        const struct {
            std::string text, keyEnd;
        } forms[] = {{JsonReportText(report), "\"file\": "}, {JsonReportLine(report), "\"file\":"}};
        for (const auto &form : forms) {
            Json parsed;
            ASSERT_NO_THROW(parsed = Json::parse(form.text));
            EXPECT_EQ(parsed["file"], c.parsed);
            EXPECT_EQ(parsed["band"], c.parsed);
            EXPECT_NE(form.text.find(form.keyEnd + c.written), std::string::npos) << form.text;
        }
    }
}

// The record of JSON Lines: one line, the same object as the indented
// report (keys in the same order, every number to the last digit), and
// exactly the indented text with the indentation taken out.
TEST(JsonReport, TheOneLineRecordHoldsTheSameObjectAsTheIndentedReport)
{
    for (bool withBand : {false, true}) {
        PeriodReport report = MadeReport("star\nwith line end.tsv", withBand ? "V" : "");
        if (!withBand) {
            report.prewhitening.clear();
            report.hasFold = false;
        }
        const std::string line = JsonReportLine(report), text = JsonReportText(report);
        EXPECT_EQ(line.find('\n'), line.size() - 1) << line;
        EXPECT_EQ(Json::parse(line), Json::parse(text));
        EXPECT_EQ(Json::parse(line).dump(), line.substr(0, line.size() - 1));
        EXPECT_EQ(Json::parse(text).dump(2) + "\n", text);
        EXPECT_EQ(Json::parse(line).contains("fold"), withBand);
        EXPECT_EQ(Json::parse(line)["peaks"][1]["period_error"], nullptr);
    }
}
