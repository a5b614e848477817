-- Application items of category 3: 数量 5 × 子项 2 = 10 rows.
-- Rows 1 to 5 are the buttons of the main window. Rows 4 and 9 form the
-- sub-item group 2 (upgrades), rows 5, 6, 7, 8 and 10 the group 1 (changes
-- to an existing qualification); rows 6 to 10 are reached only through the
-- sub-item menus.
-- Each 文件标识 contains the package mark (second attribute of <offer>) of
-- the item's manifest template and no other item's mark.
-- The templates are kept as UTF-8 text; xmltemplate() stores each in the
-- encoding its declaration names. 文件大小 is empty for row 5 (default
-- limit) and small for row 8.
INSERT INTO 资料模板 (类别, 序号, 子项序号, 子项名称, 申请事项名称, 申请事项简称,
                     文件标识, 项目名称标识, XML模板, DOC模板, 文件大小) VALUES
  (3, 1, 0, '', '地质灾害危险性评估甲级资质新申请', '甲级资质',
   'DZWP-01 地质灾害危险性评估甲级资质新申请', 1,
   xmltemplate('templates/01-jiaji.xml'), rtfdoc('templates/danwei.txt'), 200),
  (3, 2, 0, '', '地质灾害危险性评估乙级资质新申请', '乙级资质',
   'DZWP-02 地质灾害危险性评估乙级资质新申请', 1,
   xmltemplate('templates/02-yiji.xml'), rtfdoc('templates/danwei.txt'), 200),
  (3, 3, 0, '', '地质灾害危险性评估丙级资质新申请', '丙级资质',
   'DZWP-03 地质灾害危险性评估丙级资质新申请', 1,
   xmltemplate('templates/03-bingji.xml'), rtfdoc('templates/danwei.txt'), 200),
  (3, 4, 2, '丙级升乙级', '地质灾害危险性评估资质升级(丙级升乙级)', '资质升级',
   'DZWP-04 地质灾害危险性评估资质升级(丙级升乙级)', 0,
   xmltemplate('templates/04-bing-sheng-yi.xml'), rtfdoc('templates/danwei.txt'), 200),
  (3, 5, 1, '变更', '地质灾害危险性评估资质变更', '资质变更',
   'DZWP-05 地质灾害危险性评估资质变更', 0,
   xmltemplate('templates/05-biangeng.xml'), rtfdoc('templates/biangeng.txt'), NULL),
  (3, 6, 1, '延续', '地质灾害危险性评估资质延续', '资质延续',
   'DZWP-06 地质灾害危险性评估资质延续', 0,
   xmltemplate('templates/06-yanxu.xml'), rtfdoc('templates/danwei.txt'), 200),
  (3, 7, 1, '遗失补证', '地质灾害危险性评估资质证书遗失补证', '证书补办',
   'DZWP-07 地质灾害危险性评估资质证书遗失补证', 0,
   xmltemplate('templates/07-buzheng.xml'), rtfdoc('templates/danwei.txt'), 200),
  (3, 8, 1, '注销', '地质灾害危险性评估资质注销', '资质注销',
   'DZWP-08 地质灾害危险性评估资质注销', 0,
   xmltemplate('templates/08-zhuxiao.xml'), rtfdoc('templates/danwei.txt'), 10),
  (3, 9, 2, '乙级升甲级', '地质灾害危险性评估资质升级(乙级升甲级)', '资质升级',
   'DZWP-09 地质灾害危险性评估资质升级(乙级升甲级)', 0,
   xmltemplate('templates/09-yi-sheng-jia.xml'), rtfdoc('templates/danwei.txt'), 200),
  (3, 10, 1, '合并分立', '地质灾害危险性评估资质单位合并分立', '合并分立',
   'DZWP-10 地质灾害危险性评估资质单位合并分立', 0,
   xmltemplate('templates/10-hebing.xml'), rtfdoc('templates/danwei.txt'), 200);
