#pragma once
// The data of the administrative-approval application form ("行政审批申请书")
// without its window: the 资料模板 columns its inputs are bound to, the
// selected item's stored row as plain values, the format test of one value,
// the faults that keep the form from being saved, and the save of the row
// together with the read-only field definitions of 项目基本信息 that inherit
// its columns.

#include "startup/mainbas.h"

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace printing {

inline constexpr int kIndividualInputs = 6;
inline constexpr int kUnitInputs = 12;
inline constexpr int kReceiptWays = 5;
// The word list of 综合词表 that holds the administrative regions.
inline constexpr int kRegionList = 1;

// Columns of the individual's inputs Text1(0)..(5) and of the unit's and its
// agent's inputs Text2(0)..(11), in index order.
extern const std::array<const char*, kIndividualInputs> kIndividualColumns;
extern const std::array<const char*, kUnitInputs> kUnitColumns;
inline constexpr const char* kApplicantTypeColumn = "单位个人";
inline constexpr const char* kProjectNameColumn = "行政审批项目名称";
inline constexpr const char* kRegionColumn = "行政区域";
inline constexpr const char* kReceiptColumn = "审批结果接收方式";

enum class ApplicantType { Unit = 1, Individual = 2 };

// The selected item's row of 资料模板 as the form shows it, every value as
// text (null reads as "").
struct StoredApplication {
    std::string applicantType;
    std::array<std::string, kIndividualInputs> individual;
    std::array<std::string, kUnitInputs> unit;
    std::string projectName;
    std::string region;
    std::string receipt;
};

// Reads the selected item's row; nullopt when the item has none. A failing
// query or a missing column throws platform::db::DbError.
std::optional<StoredApplication> ReadApplication();

// Exactly "2" is an individual; anything else, empty included, is a unit.
ApplicantType ApplicantTypeOf(const std::string& stored);

// The ways of receiving the result that a stored 审批结果接收方式 ticks:
// character k ticks way k when it is "1"; an empty value reads as "00000"
// and a shorter one leaves the remaining ways clear.
std::array<bool, kReceiptWays> ReceiptWays(const std::string& stored);
// Five characters "1" (ticked) or "0".
std::string ReceiptText(const std::array<bool, kReceiptWays>& ticked);

// The first entry ("code name") whose leading number equals the stored code;
// -1 when the stored value is empty, not a number or in no entry.
int RegionEntryIndex(const std::vector<std::string>& entries, const std::string& storedCode);
// The code of a chosen entry; 0 for none.
double RegionCode(const std::string& entry);

// Whether the item keeps its project name out of the user's hands
// (项目名称标识 1): then the name defaults to the short name + "申请" and
// follows the unit name.
bool ProjectNameFollowsItem(const ApplicationItem& item);
// The name shown when the form opens: the stored one, else the default.
std::string InitialProjectName(const std::string& stored, const ApplicationItem& item);
// unit name + 申请事项简称 + 子项名称 + "申请".
std::string ProjectNameForUnit(const std::string& unitName, const ApplicationItem& item);

// Format test of one non-empty value by its column: postcodes six bytes and
// numeric, identity numbers by CheckIdNumber, e-mail addresses holding "@"
// and "." and longer than five bytes; any other column passes.
bool IsValidFieldValue(const std::string& column, const std::string& value);

struct FormInput {
    std::string column;
    std::string text;
    bool required = false;
};

// The lines of the "错误提示" box, each ended by CR LF, in this order: the
// empty required inputs of the active group, the project name, the region,
// then the badly formed values of the group. Empty when the form may be saved.
std::string ApplicationFaults(const std::vector<FormInput>& group, const std::string& projectName,
                              bool regionChosen);

struct ApplicationValues {
    ApplicantType type = ApplicantType::Unit;
    std::string projectName;
    std::string regionEntry; // the chosen list entry; "" for none
    std::array<bool, kReceiptWays> receipt{};
    // Column and text of each input of the active group, in index order.
    std::vector<std::pair<std::string, std::string>> group;
};

enum class StoreResult { Stored, ItemMissing };

// Writes the item's row and the inheriting field definitions in one
// transaction. ItemMissing (nothing written) when the row is gone; any
// failure throws and leaves the database as it was.
StoreResult StoreApplication(const ApplicationValues& values);

// StoreApplication with the user's messages: "保存成功..." and true when
// stored; a message naming the item when its row is gone, "保存失败..." on
// any failure, and false.
bool SaveApplication(const ApplicationValues& values);

} // namespace printing
