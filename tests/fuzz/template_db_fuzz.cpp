// Fuzz entry: any bytes as the template database 系统模板.mdb. SQLite must
// open or refuse it; then start-up's checks and the catalogue, and for the
// first items what the windows read from it: the field-definition layout of
// the project-basic-information form with each input's set-up and word list,
// the completeness check and both summaries, the size limit and the manifest
// template, which is then listed as the materials window lists it.
//
// Exceptions are answers (the error barrier reports them to the user); the
// sanitizers and libFuzzer's limits catch the rest.

#include "fieldforms/completeness.h"
#include "fieldforms/field_layout.h"
#include "fuzz/fuzz_support.h"
#include "materials/manifest.h"
#include "startup/mainbas.h"
#include "util/frmutil.h"
#include "util/template_docs.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kItemsVisited = 4;
constexpr std::size_t kListsFilled = 8;

template <class Step> void Try(Step&& step) {
    try {
        step();
    } catch (const std::exception&) {
        // Reported to the user by the window's error barrier.
    }
}

class CountingList final : public util::ListControl {
  public:
    void Clear() override { entries_ = 0; }
    void AddItem(const std::string&) override { ++entries_; }

  private:
    std::size_t entries_ = 0;
};

void VisitItem(std::size_t index, const fs::path& program) {
    SelectedItem = static_cast<std::int16_t>(index);
    SubItemName = ItemTable[index].子项名称;
    Try([] {
        const fieldforms::FieldSelection selection = fieldforms::ReadFieldSelection();
        Try([&] { fieldforms::LayoutFieldForm(selection.rows, selection.count); });
        std::size_t filled = 0;
        for (const fieldforms::FieldDefinition& row : selection.rows) {
            Try([&] { fieldforms::SetUpInput(row, fieldforms::ReadItemColumn); });
            const auto list = fieldforms::DictionaryList(row);
            if (row.isList() && list && filled++ < kListsFilled) {
                CountingList control;
                Try([&] {
                    util::FillFromDictionary(*list, control,
                                             fieldforms::ShowsCodes(row.name) ? 2 : 1);
                });
            }
        }
    });
    Try([] { fieldforms::CheckCompleteness(fieldforms::kBothForms); });
    Try([] {
        fieldforms::TextLines lines;
        fieldforms::WriteApplicationSummary(fieldforms::kBothForms, lines);
    });
    Try([] { util::ReadSizeLimit(); });
    const std::string work = util::PathToUtf8(program / "TempXml.XML");
    Try([&] {
        if (util::ExtractXmlTemplate(work))
            materials::ReadOpeningView(work, "");
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fs::path root = fuzz::OwnRoot("template-db");
    static const fs::path program = root / "程序";
    fuzz::InstallQuietPrompter();
    fs::create_directories(program);
    fuzz::Empty(program);
    fuzz::WriteAll(program / kTemplateDatabaseName, data, size);

    StartupHooks hooks;
    hooks.countPrinters = [] { return 0; };
    if (Main(program, hooks)) {
        for (std::size_t i = 0; i < ItemTable.size() && i < kItemsVisited; ++i)
            VisitItem(i, program);
    }
    ResetGlobals(); // closes the connection
    return 0;
}
