#pragma once

#include <string>
#include <vector>

#include "jianpu/SheetLayout.h"

namespace jianpu {

// A4 in points, and the margins inside it.
constexpr double kA4Width = 595.0;
constexpr double kA4Height = 842.0;
constexpr double kPageMargin = 56.0;

enum class SheetFormat { kPdf, kSvg, kPng };

// The format a file's name asks for (.pdf, .svg, .png, in any case); false for another.
bool SheetFormatOf(const std::string& path, SheetFormat& format);

// The sheet laid out on A4 pages with its title.
std::vector<SheetPage> A4Pages(const Sheet& sheet, const std::string& title);

// The bytes of a file of the pages: a PDF of one page each; an SVG or a PNG (150 dots per
// inch) of the pages one under another. Needs a QGuiApplication (fonts).
std::string SheetFileBytes(const std::vector<SheetPage>& pages, SheetFormat format);

}  // namespace jianpu
