-- Field definitions of the project-basic-information form of category 3.
--
-- Rows of an item without sub-items are selected by 序号 alone (shared rows
-- with 序号 0 plus the item's own rows, whatever their 子项); a sub-item's
-- rows are selected by 序号 and 子项 together, so a shared row could never be
-- part of a sub-item's form without appearing in every other form twice.
-- Every sub-item therefore gets its own copy of the shared definitions.
--
-- Layout: each table row of the form is 10 row units wide: a caption of 10,
-- or fields whose 显示宽度 + 字段宽度 add up to 10. All cells of one table
-- row share one 字段高度. 排序号 runs 1..N over every selection.

CREATE TEMP TABLE 字段定义 (
  组 TEXT, 排序号 INTEGER, 字段名称 TEXT, 显示名称 TEXT, 字段类型 INTEGER,
  字段长度 INTEGER, 显示宽度 REAL, 字段宽度 REAL, 字段高度 REAL, 对齐方式 INTEGER,
  必填项 INTEGER, 词典编码 INTEGER, 继承字段名 TEXT, 是否可编辑 INTEGER
);

-- Shared part: 排序号 1 to 17.
INSERT INTO 字段定义 VALUES
  ('公共', 1, '', '一、申请单位基本情况', 0, 0, 10, 0, 10, 0, 0, NULL, NULL, NULL),
  ('公共', 2, '行政审批项目名称', '申请事项', 0, 200, 2, 8, 10, 0, 1, NULL, '行政审批项目名称', 0),
  ('公共', 3, '单位名称', '单位名称', 0, 200, 2, 8, 10, 0, 1, NULL, '单位名称', 0),
  ('公共', 4, '行政区域', '行政区域', 4, 0, 2, 4, 10, 0, 1, 1, '行政区域', 0),
  ('公共', 5, '单位性质', '单位性质', 4, 0, 1.5, 2.5, 10, 0, 1, 2, NULL, NULL),
  ('公共', 6, '单位地址', '单位地址', 0, 200, 2, 8, 10, 0, 0, NULL, '单位地址', 1),
  ('公共', 7, '法定代表人', '法定代表人', 0, 20, 2, 3, 10, 0, 1, NULL, '法人代表', 1),
  ('公共', 8, '统一社会信用代码', '信用代码', 0, 18, 2, 3, 10, 0, 1, NULL, NULL, NULL),
  ('公共', 9, '成立时间', '成立时间', 2, 10, 2, 3, 15, 0, 0, NULL, NULL, NULL),
  ('公共', 10, '注册资本', '注册资本' || char(13, 10) || '(万元)', 1, 12, 2, 3, 15, 0, 1, NULL, NULL, NULL),
  ('公共', 11, '联系电话', '联系电话', 0, 100, 2, 3, 10, 0, 0, NULL, '联系电话', 1),
  ('公共', 12, '电子邮箱', '电子邮箱', 0, 100, 2, 3, 10, 0, 0, NULL, '电子邮箱', 1),
  ('公共', 13, '', '二、技术力量', 0, 0, 10, 0, 10, 0, 0, NULL, NULL, NULL),
  ('公共', 14, '技术负责人', '技术负责人', 0, 20, 2, 3, 10, 0, 1, NULL, NULL, NULL),
  ('公共', 15, '技术负责人职称', '职称', 4, 0, 2, 3, 10, 0, 1, 3, NULL, NULL),
  ('公共', 16, '专业技术人员数', '技术人员数', 1, 6, 2, 3, 10, 0, 1, NULL, NULL, NULL),
  ('公共', 17, '高级职称人数', '高级职称人数', 1, 6, 2, 3, 10, 0, 0, NULL, NULL, NULL);

-- Item parts, from 排序号 18 on.
INSERT INTO 字段定义 VALUES
  ('新申请', 18, '', '三、申请资质情况', 0, 0, 10, 0, 10, 2, 0, NULL, NULL, NULL),
  ('新申请', 19, '申请资质等级', '申请等级', 4, 0, 2, 3, 10, 0, 1, 4, NULL, NULL),
  ('新申请', 20, '资料填报时间', '填报时间', 2, 10, 2, 3, 10, 0, 1, NULL, NULL, NULL),
  ('新申请', 21, '近三年主要业绩', '近三年' || char(13, 10) || '主要业绩', 3, 0, 2, 8, 40, 0, 1, NULL, NULL, NULL),
  ('新申请', 22, '备注', '备注', 0, 200, 2, 8, 10, 0, 0, NULL, NULL, NULL),

  ('升级', 18, '', '三、资质升级情况', 0, 0, 10, 0, 10, 2, 0, NULL, NULL, NULL),
  ('升级', 19, '原资质证书编号', '原证书编号', 0, 30, 2, 3, 10, 0, 1, NULL, NULL, NULL),
  ('升级', 20, '原资质等级', '原资质等级', 4, 0, 2, 3, 10, 0, 1, 4, NULL, NULL),
  ('升级', 21, '申请资质等级', '申请等级', 4, 0, 2, 3, 10, 0, 1, 4, NULL, NULL),
  ('升级', 22, '资料填报时间', '填报时间', 2, 10, 2, 3, 10, 0, 1, NULL, NULL, NULL),
  ('升级', 23, '资质期内主要业绩', '资质期内' || char(13, 10) || '主要业绩', 3, 0, 2, 8, 40, 0, 1, NULL, NULL, NULL),

  ('变更', 18, '', '三、资质变更情况', 0, 0, 10, 0, 10, 2, 0, NULL, NULL, NULL),
  ('变更', 19, '原资质证书编号', '原证书编号', 0, 30, 2, 3, 10, 0, 1, NULL, NULL, NULL),
  ('变更', 20, '变更事项', '变更事项', 4, 0, 2, 3, 10, 0, 1, 5, NULL, NULL),
  ('变更', 21, '变更前内容', '变更前内容', 3, 0, 2, 8, 20, 0, 1, NULL, NULL, NULL),
  ('变更', 22, '变更后内容', '变更后内容', 3, 0, 2, 8, 20, 0, 1, NULL, NULL, NULL),
  ('变更', 23, '资料填报时间', '填报时间', 2, 10, 2, 3, 10, 0, 1, NULL, NULL, NULL),
  ('变更', 24, '变更原因', '变更原因', 0, 100, 2, 3, 10, 0, 0, NULL, NULL, NULL),

  ('延续', 18, '', '三、资质延续情况', 0, 0, 10, 0, 10, 2, 0, NULL, NULL, NULL),
  ('延续', 19, '原资质证书编号', '原证书编号', 0, 30, 2, 3, 10, 0, 1, NULL, NULL, NULL),
  ('延续', 20, '证书有效期至', '有效期至', 2, 10, 2, 3, 10, 0, 1, NULL, NULL, NULL),
  ('延续', 21, '有效期内完成项目数', '有效期内' || char(13, 10) || '完成项目数', 1, 6, 2, 3, 15, 0, 1, NULL, NULL, NULL),
  ('延续', 22, '资料填报时间', '填报时间', 2, 10, 2, 3, 15, 0, 1, NULL, NULL, NULL),

  ('补证', 18, '', '三、证书遗失情况', 0, 0, 10, 0, 10, 2, 0, NULL, NULL, NULL),
  ('补证', 19, '原资质证书编号', '原证书编号', 0, 30, 2, 3, 10, 0, 1, NULL, NULL, NULL),
  ('补证', 20, '遗失时间', '遗失时间', 2, 10, 2, 3, 10, 0, 0, NULL, NULL, NULL),
  ('补证', 21, '声明刊登报刊', '刊登报刊', 0, 100, 2, 3, 10, 0, 1, NULL, NULL, NULL),
  ('补证', 22, '资料填报时间', '填报时间', 2, 10, 2, 3, 10, 0, 1, NULL, NULL, NULL),
  ('补证', 23, '遗失经过', '遗失经过', 3, 0, 2, 8, 20, 0, 0, NULL, NULL, NULL),

  ('注销', 18, '', '三、资质注销情况', 0, 0, 10, 0, 10, 2, 0, NULL, NULL, NULL),
  ('注销', 19, '原资质证书编号', '原证书编号', 0, 30, 2, 3, 10, 0, 1, NULL, NULL, NULL),
  ('注销', 20, '资料填报时间', '填报时间', 2, 10, 2, 3, 10, 0, 1, NULL, NULL, NULL),
  ('注销', 21, '注销原因', '注销原因', 3, 0, 2, 8, 30, 0, 1, NULL, NULL, NULL),

  ('合并', 18, '', '三、合并分立情况', 0, 0, 10, 0, 10, 2, 0, NULL, NULL, NULL),
  ('合并', 19, '原资质证书编号', '原证书编号', 0, 30, 2, 3, 10, 0, 1, NULL, NULL, NULL),
  ('合并', 20, '合并分立方式', '合并分立方式', 0, 20, 2, 3, 10, 0, 1, NULL, NULL, NULL),
  ('合并', 21, '存续单位名称', '存续单位名称', 0, 200, 2, 8, 10, 0, 1, NULL, NULL, NULL),
  ('合并', 22, '资料填报时间', '填报时间', 2, 10, 2, 3, 10, 0, 1, NULL, NULL, NULL),
  ('合并', 23, '批准文号', '批准文号', 0, 50, 2, 3, 10, 0, 0, NULL, NULL, NULL);

-- Which item part belongs to which 资料模板 row.
CREATE TEMP TABLE 事项字段组 (序号 INTEGER, 组 TEXT);
INSERT INTO 事项字段组 VALUES
  (1, '新申请'), (2, '新申请'), (3, '新申请'),
  (4, '升级'), (9, '升级'),
  (5, '变更'), (6, '延续'), (7, '补证'), (8, '注销'), (10, '合并');

-- Shared rows of the items without sub-items.
INSERT INTO 项目基本信息 (类别, 子项, 序号, 排序号, 字段名称, 显示名称, 字段类型, 字段长度,
                         字段宽度, 显示宽度, 字段高度, 对齐方式, 是否显示线段, 必填项,
                         词典编码, 继承字段名, 是否可编辑)
SELECT 3, '', 0, 排序号, 字段名称, 显示名称, 字段类型, 字段长度,
       字段宽度, 显示宽度, 字段高度, 对齐方式, 1, 必填项, 词典编码, 继承字段名, 是否可编辑
FROM 字段定义 WHERE 组 = '公共';

-- A copy of the shared rows for every sub-item.
INSERT INTO 项目基本信息 (类别, 子项, 序号, 排序号, 字段名称, 显示名称, 字段类型, 字段长度,
                         字段宽度, 显示宽度, 字段高度, 对齐方式, 是否显示线段, 必填项,
                         词典编码, 继承字段名, 是否可编辑)
SELECT 3, t.子项名称, t.序号, d.排序号, d.字段名称, d.显示名称, d.字段类型, d.字段长度,
       d.字段宽度, d.显示宽度, d.字段高度, d.对齐方式, 1, d.必填项, d.词典编码, d.继承字段名,
       d.是否可编辑
FROM 资料模板 t JOIN 字段定义 d ON d.组 = '公共'
WHERE t.类别 = 3 AND t.子项序号 <> 0
ORDER BY t.序号, d.排序号;

-- The item's own rows.
INSERT INTO 项目基本信息 (类别, 子项, 序号, 排序号, 字段名称, 显示名称, 字段类型, 字段长度,
                         字段宽度, 显示宽度, 字段高度, 对齐方式, 是否显示线段, 必填项,
                         词典编码, 继承字段名, 是否可编辑)
SELECT 3, t.子项名称, t.序号, d.排序号, d.字段名称, d.显示名称, d.字段类型, d.字段长度,
       d.字段宽度, d.显示宽度, d.字段高度, d.对齐方式, 1, d.必填项, d.词典编码, d.继承字段名,
       d.是否可编辑
FROM 资料模板 t
JOIN 事项字段组 g ON g.序号 = t.序号
JOIN 字段定义 d ON d.组 = g.组
WHERE t.类别 = 3
ORDER BY t.序号, d.排序号;

DROP TABLE 字段定义;
DROP TABLE 事项字段组;
