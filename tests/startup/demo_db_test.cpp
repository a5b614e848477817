// The demo template database that ships beside the program: it must load
// and be consistent in every item a user can choose.

#include "startup/mainbas.h"
#include "support/fake_prompter.h"
#include "support/fixture_db.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#if !defined(QUILLOR_DEMO_DB) || !defined(QUILLOR_MAKEDB)
#error "QUILLOR_DEMO_DB and QUILLOR_MAKEDB must name the demo database and its generator"
#endif

namespace {

using testsupport::Cell;
using testsupport::FixtureDb;

double Number(const Cell& cell) {
    const std::string text = cell.Text();
    return text.empty() ? 0.0 : std::strtod(text.c_str(), nullptr);
}

struct Item {
    long long seq;
    long long group;
    std::string subName;
    std::string fileMark;
};

// What the user can choose: one selection per button without sub-items and
// one per sub-item menu entry.
struct Selection {
    long long seq;
    std::string subName; // empty: no sub-item
    std::string Describe() const { return "序号 " + std::to_string(seq) + " " + subName; }
};

struct FieldDef {
    long long order;
    std::string name;
    std::string label;
    long long kind;
    double labelWidth;
    double fieldWidth;
    double height;
    long long required;
    long long dictionary;
    std::string inheritFrom;
    Cell editable;
};

class DemoDbTest : public ::testing::Test {
  protected:
    DemoDbTest() : db_(testsupport::Utf8Path(QUILLOR_DEMO_DB), FixtureDb::Mode::Existing) {
        const auto rows =
            db_.Rows("select 类别, 数量, 子项 from 系统参数 where 有效=1 order by 类别");
        if (!rows.empty()) {
            category_ = std::stoll(rows[0][0].Text());
            itemCount_ = std::lround(Number(rows[0][1]));
            subCount_ = std::lround(Number(rows[0][2]));
        }
        for (const auto& row : db_.Rows("select 序号, 子项序号, 子项名称, 文件标识 from 资料模板 "
                                        "where 类别=" +
                                        std::to_string(category_) + " order by 序号")) {
            items_.push_back({std::stoll(row[0].Text()), std::lround(Number(row[1])), row[2].Text(),
                              row[3].Text()});
        }
    }

    std::vector<Selection> Selections() const {
        std::vector<Selection> result;
        for (std::size_t i = 0; i < items_.size(); ++i) {
            const Item& item = items_[i];
            if (item.group == 0 && static_cast<long>(i) < itemCount_) {
                result.push_back({item.seq, ""});
            } else if (item.group != 0) {
                result.push_back({item.seq, item.subName});
            }
        }
        return result;
    }

    std::vector<FieldDef> Fields(const Selection& s) {
        std::string sql =
            "select 排序号, 字段名称, 显示名称, 字段类型, 显示宽度, 字段宽度, 字段高度, "
            "必填项, 词典编码, 继承字段名, 是否可编辑 from 项目基本信息 where 类别=" +
            std::to_string(category_);
        if (!s.subName.empty()) {
            sql += " and 子项='" + s.subName + "'";
        }
        sql += " and (序号=0 or 序号=" + std::to_string(s.seq) + ") order by 排序号";
        std::vector<FieldDef> fields;
        for (const auto& r : db_.Rows(sql)) {
            fields.push_back({std::llround(Number(r[0])), r[1].Text(), r[2].Text(),
                              std::llround(Number(r[3])), Number(r[4]), Number(r[5]), Number(r[6]),
                              std::llround(Number(r[7])), std::llround(Number(r[8])), r[9].Text(),
                              r[10]});
        }
        return fields;
    }

    // Entry texts of a word list as a drop-down field shows them.
    std::vector<std::pair<std::string, std::string>> Words(long long list) {
        std::vector<std::pair<std::string, std::string>> words;
        for (const auto& r : db_.Rows("select 代码, 名称 from 综合词表 where 类别=" +
                                      std::to_string(list) + " and 代码<>0 order by 代码")) {
            words.emplace_back(r[0].Text(), r[1].Text());
        }
        return words;
    }

    FixtureDb db_;
    long long category_ = 0;
    long itemCount_ = 0;
    long subCount_ = 0;
    std::vector<Item> items_;
};

TEST_F(DemoDbTest, HasOneValidCategoryWithAllItsRows) {
    EXPECT_EQ(db_.Text("select count(*) from 系统参数 where 有效=1"), "1");
    EXPECT_EQ(db_.Text("select count(*) from 系统参数 where 有效<>1"), "1");
    EXPECT_GE(itemCount_, 4);
    EXPECT_LE(itemCount_, 9) << "only nine items get a button";
    EXPECT_EQ(static_cast<long>(items_.size()), itemCount_ * subCount_);
}

TEST_F(DemoDbTest, SubItemGroupsFitTheMenuAndEveryRowCanBeChosen) {
    std::map<long long, std::vector<std::size_t>> groups;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].group != 0) {
            groups[items_[i].group].push_back(i);
        } else {
            EXPECT_LT(static_cast<long>(i), itemCount_)
                << "row " << items_[i].seq << " has neither a button nor a group";
        }
    }
    bool changeGroup = false;
    for (const auto& [group, rows] : groups) {
        EXPECT_LE(rows.size(), 8u) << "group " << group;
        EXPECT_LT(static_cast<long>(rows.front()), itemCount_)
            << "group " << group << " has no button";
        std::set<std::string> names;
        for (std::size_t i : rows) {
            EXPECT_FALSE(items_[i].subName.empty()) << "row " << items_[i].seq;
            EXPECT_TRUE(names.insert(items_[i].subName).second) << items_[i].subName;
            changeGroup = changeGroup || (rows.size() >= 3 && items_[i].subName == "变更");
        }
    }
    EXPECT_TRUE(changeGroup) << "a group of three or more rows with the sub-item 变更";
}

TEST_F(DemoDbTest, EverySelectionFormsACompleteTable) {
    const auto selections = Selections();
    ASSERT_EQ(selections.size(), items_.size());
    for (const Selection& s : selections) {
        SCOPED_TRACE(s.Describe());
        const auto fields = Fields(s);
        ASSERT_FALSE(fields.empty());
        std::vector<long long> orders;
        std::vector<long long> oneToN;
        for (const FieldDef& f : fields) {
            orders.push_back(f.order);
            oneToN.push_back(static_cast<long long>(oneToN.size() + 1));
        }
        EXPECT_EQ(orders, oneToN) << "排序号 must run 1 to N";
        double rowWidth = 0;
        double rowHeight = -1;
        std::set<std::string> names;
        for (const FieldDef& f : fields) {
            if (!f.name.empty()) {
                EXPECT_TRUE(names.insert(f.name).second) << "field name twice: " << f.name;
            }
            if (rowHeight >= 0) {
                EXPECT_EQ(f.height, rowHeight) << f.label << ": one height per table row";
            }
            rowHeight = f.height;
            rowWidth += f.labelWidth + (f.name.empty() ? 0 : f.fieldWidth);
            if (rowWidth > 9.5) {
                EXPECT_NEAR(rowWidth, 10.0, 1e-9) << "table row ending at " << f.label;
                rowWidth = 0;
                rowHeight = -1;
            }
        }
        EXPECT_EQ(rowWidth, 0.0) << "the last row must close its table row";
        for (const char* name : {"行政审批项目名称", "单位名称", "行政区域"}) {
            const auto f = std::find_if(fields.begin(), fields.end(),
                                        [&](const FieldDef& d) { return d.name == name; });
            ASSERT_NE(f, fields.end()) << name;
            EXPECT_EQ(f->required, 1) << name;
            EXPECT_EQ(f->inheritFrom, name);
            EXPECT_EQ(f->editable, Cell(0)) << name << " is kept by the application form";
        }
        const auto date = std::find_if(fields.begin(), fields.end(),
                                       [](const FieldDef& d) { return d.name == "资料填报时间"; });
        ASSERT_NE(date, fields.end());
        EXPECT_EQ(date->kind, 2);
    }
}

TEST_F(DemoDbTest, FieldDefinitionsShowEveryKindOfRow) {
    const std::string c = std::to_string(category_);
    EXPECT_EQ(db_.Text("select count(distinct 字段类型) from 项目基本信息 where 类别=" + c +
                       " and 字段名称<>'' and 字段类型 between 0 and 4"),
              "5");
    EXPECT_NE(db_.Text("select count(*) from 项目基本信息 where 类别=" + c + " and 字段名称=''"),
              "0")
        << "caption rows";
    EXPECT_NE(db_.Text("select count(*) from 项目基本信息 where 类别=" + c +
                       " and instr(显示名称, char(13, 10)) > 0"),
              "0")
        << "a label of two lines";
    EXPECT_NE(db_.Text("select count(*) from 项目基本信息 where 类别=" + c +
                       " and 继承字段名<>'' and 是否可编辑=1"),
              "0")
        << "an inherited field that stays editable";
    // Every inherited field names a column of the application form.
    std::set<std::string> columns;
    for (const auto& r : db_.Rows("select name from pragma_table_info('资料模板')")) {
        columns.insert(r[0].Text());
    }
    for (const auto& r :
         db_.Rows("select distinct 继承字段名 from 项目基本信息 where 继承字段名<>''")) {
        EXPECT_TRUE(columns.count(r[0].Text())) << r[0].Text();
    }
}

// A drop-down field selects the first entry whose text contains the stored
// value; every entry of the demo lists must find itself.
TEST_F(DemoDbTest, DropDownListsSelectEachOfTheirEntries) {
    const auto lists = db_.Rows("select distinct 字段名称, 词典编码 from 项目基本信息 where 类别=" +
                                std::to_string(category_) + " and 字段类型=4");
    ASSERT_FALSE(lists.empty());
    for (const auto& r : lists) {
        const bool withCodes = r[0].Text() == "行政区域";
        const long long list = std::llround(Number(r[1]));
        SCOPED_TRACE(r[0].Text());
        const auto words = Words(list);
        ASSERT_FALSE(words.empty()) << "list " << list;
        std::vector<std::string> shown;
        for (const auto& [code, name] : words) {
            shown.push_back(withCodes ? code + " " + name : name);
        }
        for (std::size_t i = 0; i < words.size(); ++i) {
            const std::string stored = withCodes ? words[i].first : words[i].second;
            const auto first = std::find_if(shown.begin(), shown.end(), [&](const std::string& t) {
                return t.find(stored) != std::string::npos;
            });
            EXPECT_EQ(first - shown.begin(), static_cast<long>(i)) << stored;
        }
    }
}

TEST_F(DemoDbTest, RegionListIsOneProvinceWithAHiddenNoneEntry) {
    EXPECT_EQ(db_.Text("select count(*) from 综合词表 where 类别=1 and 代码=0"), "1");
    const auto regions = Words(1);
    ASSERT_GE(regions.size(), 10u);
    for (const auto& [code, name] : regions) {
        EXPECT_EQ(code.size(), 6u) << name;
        EXPECT_EQ(code.substr(0, 2), regions.front().first.substr(0, 2)) << name;
    }
    EXPECT_EQ(regions.front().first.substr(2), "0000") << "the province itself comes first";
}

TEST_F(DemoDbTest, SizeLimitsAndDocumentTemplates) {
    const std::string c = std::to_string(category_);
    EXPECT_GT(
        std::stoi(db_.Text("select count(*) from 资料模板 where 类别=" + c + " and 文件大小=200")) *
            2,
        static_cast<int>(items_.size()));
    EXPECT_EQ(db_.Text("select count(*) from 资料模板 where 类别=" + c + " and 文件大小 is null"),
              "1");
    EXPECT_EQ(db_.Text("select count(*) from 资料模板 where 类别=" + c +
                       " and 文件大小>0 and 文件大小<200"),
              "1");
    for (const auto& r : db_.Rows("select 序号, DOC模板 from 资料模板 where 类别=" + c)) {
        const std::string rtf = r[1].Text();
        EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u) << "row " << r[0].Text();
        int depth = 0;
        for (std::size_t i = 0; i < rtf.size() && depth >= 0; ++i) {
            if (rtf[i] == '\\') {
                ++i; // an escaped character or the first letter of a control word
            } else if (rtf[i] == '{' || rtf[i] == '}') {
                depth += rtf[i] == '{' ? 1 : -1;
            }
        }
        EXPECT_EQ(depth, 0) << "row " << r[0].Text() << ": unbalanced groups";
    }
}

// The program's own start-up accepts the demo as it ships.
TEST_F(DemoDbTest, StartUpLoadsTheWholeCatalogue) {
    testsupport::TempDir program;
    std::filesystem::copy_file(db_.path(), program.File("系统模板.mdb"));
    testsupport::ScopedFakePrompter prompter;
    const bool started = Main(program.path());
    EXPECT_TRUE(started);
    EXPECT_TRUE(prompter->messages.empty());
    EXPECT_EQ(CategoryCode, category_);
    EXPECT_EQ(ItemCount, itemCount_);
    ASSERT_EQ(ItemTable.size(), items_.size());
    for (std::size_t i = 0; i < items_.size(); ++i) {
        EXPECT_EQ(ItemTable[i].序号, items_[i].seq);
        EXPECT_EQ(ItemTable[i].子项名称, items_[i].subName);
    }
    ResetGlobals();
}

// ------------------------------------------------------------ manifests

struct XmlCharFree {
    void operator()(xmlChar* p) const { xmlFree(p); }
};
using XmlText = std::unique_ptr<xmlChar, XmlCharFree>;
struct DocFree {
    void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
struct ContextFree {
    void operator()(xmlXPathContext* c) const { xmlXPathFreeContext(c); }
};
struct ObjectFree {
    void operator()(xmlXPathObject* o) const { xmlXPathFreeObject(o); }
};
using XmlDoc = std::unique_ptr<xmlDoc, DocFree>;

std::vector<xmlNode*> Select(xmlDoc* doc, xmlNode* from, const char* path) {
    std::unique_ptr<xmlXPathContext, ContextFree> ctx(xmlXPathNewContext(doc));
    ctx->node = from;
    std::unique_ptr<xmlXPathObject, ObjectFree> result(
        xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(path), ctx.get()));
    std::vector<xmlNode*> nodes;
    if (result && result->nodesetval) {
        for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
            nodes.push_back(result->nodesetval->nodeTab[i]);
        }
    }
    return nodes;
}

std::string Content(xmlNode* node) {
    if (!node) {
        return {};
    }
    const XmlText text(xmlNodeGetContent(node));
    return text ? reinterpret_cast<const char*>(text.get()) : "";
}

std::string FirstText(xmlDoc* doc, xmlNode* from, const char* path) {
    const auto nodes = Select(doc, from, path);
    return nodes.empty() ? "" : Content(nodes.front());
}

std::string AttributeText(xmlAttr* attr) {
    return attr && attr->children ? Content(attr->children) : "";
}

TEST_F(DemoDbTest, EveryManifestTemplateParsesAndCarriesItsItemsMark) {
    std::set<std::string> encodings;
    bool downloadHint = false;
    for (const auto& r : db_.Rows("select 序号, XML模板, 文件标识 from 资料模板 where 类别=" +
                                  std::to_string(category_))) {
        SCOPED_TRACE("序号 " + r[0].Text());
        const std::string bytes = r[1].Text();
        XmlDoc doc(xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), "template.xml",
                                 nullptr,
                                 XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
        ASSERT_TRUE(doc);
        xmlNode* offer = xmlDocGetRootElement(doc.get());
        ASSERT_TRUE(offer);
        EXPECT_STREQ(reinterpret_cast<const char*>(offer->name), "offer");
        encodings.insert(doc->encoding ? reinterpret_cast<const char*>(doc->encoding) : "");

        ASSERT_TRUE(offer->properties && offer->properties->next) << "no package mark";
        const std::string mark = AttributeText(offer->properties->next);
        ASSERT_FALSE(mark.empty());
        for (const Item& item : items_) {
            const bool own = std::to_string(item.seq) == r[0].Text();
            EXPECT_EQ(item.fileMark.find(mark) != std::string::npos, own)
                << "mark " << mark << " against 文件标识 of row " << item.seq;
        }

        const auto materials = Select(doc.get(), offer, ".//attachments//attachment");
        EXPECT_GE(materials.size(), 5u);
        std::set<std::string> names;
        std::set<std::string> keys;
        for (xmlNode* m : materials) {
            const std::string name = FirstText(doc.get(), m, ".//fjmc");
            names.insert(name);
            const XmlText fjid(xmlGetProp(m, reinterpret_cast<const xmlChar*>("fjid")));
            ASSERT_TRUE(fjid) << name;
            EXPECT_TRUE(keys.insert(reinterpret_cast<const char*>(fjid.get())).second) << name;
            EXPECT_EQ(FirstText(doc.get(), m, ".//dzjs"), "0") << name;
            EXPECT_EQ(Select(doc.get(), m, ".//fileList").size(), 1u) << name;
            const auto files = Select(doc.get(), m, ".//fileList//file");
            for (std::size_t k = 0; k < files.size(); ++k) {
                EXPECT_EQ(FirstText(doc.get(), files[k], ".//fileXh"), std::to_string(k + 1));
                EXPECT_FALSE(FirstText(doc.get(), files[k], ".//fileName").empty());
            }
            EXPECT_EQ(files.empty(), name == "其他材料") << name;
            downloadHint = downloadHint ||
                           FirstText(doc.get(), m, ".//fjms").find("点击下载") != std::string::npos;
        }
        for (const char* required : {"营业执照", "单位情况简表", "其他材料"}) {
            EXPECT_TRUE(names.count(required)) << required;
        }
    }
    EXPECT_TRUE(downloadHint);
    EXPECT_TRUE(encodings.count("GB2312"));
    EXPECT_TRUE(encodings.count("UTF-8"));
}

// ------------------------------------------------------------ generator

class MakeDbTest : public ::testing::Test {
  protected:
    // Runs the generator on one SQL file in the temp folder; its exit code.
    int Generate(const std::string& sql) {
        testsupport::WriteFile(dir_.File("rows.sql"), sql);
        const std::string command = std::string("\"") + QUILLOR_MAKEDB + "\" \"" + Out().string() +
                                    "\" \"" + dir_.path().string() + "\" rows.sql 2>" +
                                    dir_.File("errors.txt").string();
        return std::system(command.c_str());
    }
    std::filesystem::path Out() const { return dir_.File("out.mdb"); }

    testsupport::TempDir dir_;
};

TEST_F(MakeDbTest, StoresTemplatesInTheirDeclaredEncodingAndDocumentsAsRtf) {
    testsupport::WriteFile(dir_.File("gb.xml"),
                           "<?xml version=\"1.0\" encoding=\"GB2312\"?><offer>中文</offer>");
    testsupport::WriteFile(dir_.File("doc.txt"), "# 标题\n| a | {b} |\n");
    ASSERT_EQ(Generate("CREATE TABLE t (k TEXT, v BLOB);"
                       "INSERT INTO t VALUES ('xml', xmltemplate('gb.xml')),"
                       " ('raw', readfile('gb.xml')), ('doc', rtfdoc('doc.txt'));"),
              0);
    FixtureDb db(Out(), FixtureDb::Mode::Existing);
    EXPECT_EQ(db.Text("select v from t where k='xml'"),
              "<?xml version=\"1.0\" encoding=\"GB2312\"?><offer>\xD6\xD0\xCE\xC4</offer>");
    EXPECT_EQ(db.Text("select v from t where k='raw'"), testsupport::ReadFile(dir_.File("gb.xml")));
    const std::string rtf = db.Text("select v from t where k='doc'");
    EXPECT_NE(rtf.find("\\'b1\\'ea\\'cc\\'e2"), std::string::npos) << "标题 in GBK";
    EXPECT_NE(rtf.find("\\{b\\}\\cell"), std::string::npos) << "braces escaped in a cell";
}

TEST_F(MakeDbTest, FailsWithoutLeavingAFileWhenTextDoesNotFitTheEncoding) {
    // 镕 exists in GBK but not in GB2312.
    testsupport::WriteFile(dir_.File("bad.xml"),
                           "<?xml version=\"1.0\" encoding=\"GB2312\"?><offer>金镕</offer>");
    EXPECT_NE(Generate("CREATE TABLE t (v BLOB); INSERT INTO t VALUES (xmltemplate('bad.xml'));"),
              0);
    EXPECT_FALSE(std::filesystem::exists(Out()));
    EXPECT_FALSE(std::filesystem::exists(dir_.File("out.mdb.tmp")));
    EXPECT_NE(testsupport::ReadFile(dir_.File("errors.txt")).find("bad.xml"), std::string::npos);
}

} // namespace
