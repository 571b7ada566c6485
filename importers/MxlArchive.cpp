#include <zip.h>

#include <QXmlStreamReader>
#include <memory>

#include "importers/ImporterTable.h"
#include "importers/MusicXmlParts.h"

namespace importers::musicxml {

namespace {

// The most a file inside the archive may unpack to: what a score file may hold.
constexpr zip_uint64_t kMaxUnpackedBytes = kMaxSourceBytes;

using ArchivePtr = std::unique_ptr<zip_t, decltype(&zip_discard)>;
using EntryPtr = std::unique_ptr<zip_file_t, decltype(&zip_fclose)>;

// The bytes of the archive's file `name`, read no further than kMaxUnpackedBytes whatever
// its header claims.
std::string Entry(zip_t* archive, const std::string& name) {
  const zip_int64_t index = zip_name_locate(archive, name.c_str(), 0);
  if (index < 0) throw ImportError("a damaged .mxl archive: it has no " + name);
  const EntryPtr file(zip_fopen_index(archive, static_cast<zip_uint64_t>(index), 0), &zip_fclose);
  if (!file)
    throw ImportError("a damaged .mxl archive: cannot unpack " + name + ": " +
                      zip_strerror(archive));
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const zip_int64_t got = zip_fread(file.get(), buffer, sizeof buffer);
    if (got < 0)
      throw ImportError("a damaged .mxl archive: cannot unpack " + name + ": " +
                        zip_file_strerror(file.get()));
    if (got == 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
    if (bytes.size() > kMaxUnpackedBytes)
      throw ImportError("not read: " + name + " in the .mxl archive unpacks to over " +
                        std::to_string(kMaxUnpackedBytes / (1024 * 1024)) + " MB");
  }
  return bytes;
}

// The score's path as META-INF/container.xml names it: the first rootfile.
std::string RootFile(const std::string& container) {
  QXmlStreamReader xml(
      QByteArray::fromRawData(container.data(), static_cast<int>(container.size())));
  xml.setEntityExpansionLimit(0);
  while (!xml.atEnd()) {
    const QXmlStreamReader::TokenType token = xml.readNext();
    if (token == QXmlStreamReader::DTD && !xml.entityDeclarations().isEmpty()) break;
    if (token == QXmlStreamReader::StartElement && xml.name() == u"rootfile")
      return xml.attributes().value("full-path").toString().toStdString();
  }
  throw ImportError("a damaged .mxl archive: META-INF/container.xml names no score");
}

}  // namespace

std::string ScoreOfArchive(const std::string& zipBytes) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(zipBytes.data(), zipBytes.size(), 0, &error);
  zip_t* opened = source == nullptr ? nullptr : zip_open_from_source(source, ZIP_RDONLY, &error);
  if (opened == nullptr) {
    if (source != nullptr) zip_source_free(source);
    const std::string why = zip_error_strerror(&error);
    zip_error_fini(&error);
    throw ImportError("a damaged .mxl archive: " + why);
  }
  zip_error_fini(&error);
  const ArchivePtr archive(opened, &zip_discard);
  return Entry(archive.get(), RootFile(Entry(archive.get(), "META-INF/container.xml")));
}

}  // namespace importers::musicxml
