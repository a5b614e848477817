#pragma once
// The content checks of the package check that need a PDF reader or an
// image decoder: the PDF reader (platform/ui/pdf_reader.h) opens PDF files
// and tells a password-protected one, Qt's image reader decodes pictures.

#include "disc/package_check.h"

namespace materials::ui {

class QtContentInspector final : public ContentInspector {
  public:
    Verdict inspectPdf(const std::filesystem::path& file) override;
    Verdict inspectImage(const std::filesystem::path& file) override;
};

} // namespace materials::ui
