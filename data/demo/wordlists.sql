-- Word lists of the drop-down fields. Names are chosen so that no name is
-- contained in an earlier one: the form selects the first entry whose text
-- contains the stored value.

-- List 1: administrative regions of Sichuan province (GB/T 2260 codes).
-- Code 0 is the "none" entry, never offered.
INSERT INTO 综合词表 (类别, 代码, 名称) VALUES
  (1, 0, '未选择'),
  (1, 510000, '四川省'),
  (1, 510100, '成都市'),
  (1, 510300, '自贡市'),
  (1, 510400, '攀枝花市'),
  (1, 510500, '泸州市'),
  (1, 510600, '德阳市'),
  (1, 510700, '绵阳市'),
  (1, 510800, '广元市'),
  (1, 510900, '遂宁市'),
  (1, 511000, '内江市'),
  (1, 511100, '乐山市'),
  (1, 511300, '南充市'),
  (1, 511400, '眉山市'),
  (1, 511500, '宜宾市'),
  (1, 511600, '广安市'),
  (1, 511700, '达州市'),
  (1, 511800, '雅安市'),
  (1, 511900, '巴中市'),
  (1, 512000, '资阳市'),
  (1, 513200, '阿坝藏族羌族自治州'),
  (1, 513300, '甘孜藏族自治州'),
  (1, 513400, '凉山彝族自治州');

-- List 2: nature of the applying unit.
INSERT INTO 综合词表 (类别, 代码, 名称) VALUES
  (2, 1, '国有企业'),
  (2, 2, '集体企业'),
  (2, 3, '有限责任公司'),
  (2, 4, '股份有限公司'),
  (2, 5, '私营企业'),
  (2, 6, '事业单位'),
  (2, 9, '其他');

-- List 3: professional titles.
INSERT INTO 综合词表 (类别, 代码, 名称) VALUES
  (3, 1, '正高级职称'),
  (3, 2, '副高级职称'),
  (3, 3, '中级职称'),
  (3, 4, '初级职称');

-- List 4: qualification grades.
INSERT INTO 综合词表 (类别, 代码, 名称) VALUES
  (4, 1, '甲级'),
  (4, 2, '乙级'),
  (4, 3, '丙级');

-- List 5: kinds of change to a qualification.
INSERT INTO 综合词表 (类别, 代码, 名称) VALUES
  (5, 0, '未选择'),
  (5, 1, '单位名称变更'),
  (5, 2, '法定代表人变更'),
  (5, 3, '注册地址变更'),
  (5, 4, '技术负责人变更'),
  (5, 5, '注册资本变更');
