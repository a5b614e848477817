-- The category served by this installation, and a retired category that is
-- kept for reference but no longer valid (有效=0).
INSERT INTO 系统参数 (类别, 标题名称, 简称, 数量, 子项, 有效) VALUES
  (1, '地质灾害治理工程施工资质审批', '地灾治理施工资质', '3', '1', 0),
  (3, '地质灾害危险性评估资质审批', '地灾评估资质', '5', '2', 1);
