#pragma once
// The data of the two application forms as the materials window needs it:
// whether they are complete before the project-basic-information form opens
// or the package is saved, and their values as key=value lines for the
// package's list file.
//
// Modes: 0 both forms, 1 the application form (the item's row of 资料模板),
// 2 the project basic information (the item's rows of 项目基本信息); any other
// value selects nothing. Database errors (a missing column, a failing query)
// are passed on to the caller as platform::db::DbError.

#include <string>
#include <string_view>

namespace fieldforms {

enum CompletenessMode { kBothForms = 0, kApplicationForm = 1, kBasicInformation = 2 };

// True when everything the mode selects is complete; otherwise one message
// box naming what is missing ("行政审批申请书填写不完整：【法人代表】..." or
// "项目基本信息填写不完整：【资料填报时间】...", title "错误提示") and false. A required field is
// tested in the column its kind keeps its value in (备注值 for long text, 字段值 otherwise).
bool CheckCompleteness(int mode);

// Receives the summary one line at a time (UTF-8, without line end).
class LineWriter {
  public:
    virtual ~LineWriter() = default;
    virtual void WriteLine(std::string_view line) = 0;
};

// Collects lines into one text, each ended by CR LF.
class TextLines final : public LineWriter {
  public:
    void WriteLine(std::string_view line) override;
    const std::string& text() const { return text_; }

  private:
    std::string text_;
};

// Writes the summary lines the mode selects: for the application form the
// three item lines and the applicant's lines (16 in all for a unit, 10 for an
// individual), then one line per field of the basic information in form order
// (caption rows write nothing).
void WriteApplicationSummary(int mode, LineWriter& writer);

} // namespace fieldforms
