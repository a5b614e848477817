-- Tables of the template database. The program never creates tables; this
-- file is the one definition used by the demo database and by the test
-- fixtures.

-- Category parameters: the valid row (有效=1) with the smallest 类别 is used.
CREATE TABLE 系统参数 (
  类别 INTEGER,
  标题名称 TEXT,
  简称 TEXT,
  数量 TEXT,          -- number of application items (read from its text)
  子项 TEXT,          -- the category has 数量 × 子项 rows in 资料模板
  有效 INTEGER
);

-- One row per application item or sub-item of a category.
CREATE TABLE 资料模板 (
  -- catalogue
  类别 INTEGER,
  序号 INTEGER,
  子项序号 INTEGER,   -- 0: no sub-items; equal non-zero codes form one group
  子项名称 TEXT,
  申请事项名称 TEXT,
  申请事项简称 TEXT,
  存储路径 TEXT,      -- folder of the last saved package
  文件标识 TEXT,      -- must contain the package mark of the item's manifests
  项目名称标识 INTEGER,
  -- templates
  XML模板 BLOB,       -- initial attachment manifest
  DOC模板 BLOB,       -- document template offered by "下载模板"
  文件大小 INTEGER,   -- package size limit in MB; empty means 200
  -- administrative-approval application form
  行政审批项目名称 TEXT,
  行政区域 INTEGER,
  单位个人 INTEGER,
  单位名称 TEXT,
  法人代表 TEXT,
  单位地址 TEXT,
  联系电话 TEXT,
  邮编 TEXT,
  电子邮箱 TEXT,
  委托代理人 TEXT,
  代理人身份证号 TEXT,
  代理人住址 TEXT,
  代理人联系电话 TEXT,
  代理人邮编 TEXT,
  代理人电子邮箱 TEXT,
  个人姓名 TEXT,
  个人身份证号 TEXT,
  个人住址 TEXT,
  个人联系电话 TEXT,
  个人邮编 TEXT,
  个人电子邮箱 TEXT,
  审批结果接收方式 TEXT
);

-- Coded word lists; list 1 holds the administrative regions.
CREATE TABLE 综合词表 (
  类别 INTEGER,
  代码 INTEGER,
  名称 TEXT
);

-- Field definitions and stored values of the project-basic-information form.
CREATE TABLE 项目基本信息 (
  类别 INTEGER,
  子项 TEXT,          -- sub-item name; consulted only when a sub-item is selected
  序号 INTEGER,       -- 0: shared row; otherwise the 序号 of the item
  排序号 INTEGER,     -- runs 1..N over the rows of each selection
  字段名称 TEXT,      -- empty: caption row
  显示名称 TEXT,
  字段类型 INTEGER,   -- 0 text, 1 number, 2 date, 3 long text, 4 drop-down list
  字段值 TEXT,
  备注值 TEXT,        -- value of a long-text field
  字段长度 INTEGER,
  字段宽度 TEXT,      -- row units (a tenth of the table row)
  显示宽度 TEXT,
  字段高度 TEXT,      -- tenths of a 270-twip line
  对齐方式 INTEGER,
  是否显示线段 INTEGER,
  必填项 INTEGER,
  词典编码 INTEGER,   -- 综合词表 list of a drop-down field
  继承字段名 TEXT,    -- application-form column the value is inherited from
  是否可编辑 INTEGER
);
