// Load and walk a multi-megabyte document, UTF-8 and UTF-16, with our reader and with pugixml
// and libxml2 for reference. Each iteration reads the file from disk, builds the tree, visits
// every element and takes the text of every leaf.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <string>

#include "i18n/xml_document.h"
#include "platform/text.h"

namespace {

namespace fs = std::filesystem;

// About 4 MB: settings-like records with attributes, entities, comments and non-ASCII text.
std::string GenerateDocument(int items) {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<catalog>\n";
  for (int i = 0; i < items; ++i) {
    const std::string n = std::to_string(i);
    text += "  <item id=\"" + n + "\" kind='mouse'>\n";
    text += "    <name>Button " + n + " &amp; wheel</name>\n";
    text += "    <!-- assignment " + n + " -->\n";
    text +=
        "    <note>Tasten\xC3\xBC"
        "berblick \xE4\xB8\xAD\xE6\x96\x87 " +
        n + "</note>\n";
    text += "    <dpi><stage>800</stage><stage>1600</stage><stage>3200</stage></dpi>\n";
    text += "    <empty/>\n";
    text += "  </item>\n";
  }
  return text + "</catalog>\n";
}

struct Documents {
  fs::path folder;
  fs::path utf8;
  fs::path utf16;
  std::size_t utf8_size = 0;
  std::size_t utf16_size = 0;

  Documents() {
    char pattern[] = "/tmp/z900-bench-XXXXXX";
    folder = ::mkdtemp(pattern);
    const std::string text = GenerateDocument(20000);
    utf8 = folder / "document-utf8.xml";
    std::ofstream(utf8, std::ios::binary) << text;
    utf8_size = text.size();

    std::u16string wide = z900::platform::Utf8ToUtf16(text);
    wide.replace(wide.find(u"UTF-8"), 5, u"UTF-16");
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : wide) {
      bytes.push_back(static_cast<char>(unit & 0xFF));
      bytes.push_back(static_cast<char>(unit >> 8));
    }
    utf16 = folder / "document-utf16.xml";
    std::ofstream(utf16, std::ios::binary) << bytes;
    utf16_size = bytes.size();
  }
  ~Documents() {
    std::error_code error;
    fs::remove_all(folder, error);
  }
};

const Documents& TheDocuments() {
  static const Documents documents;
  return documents;
}

const fs::path& PathOf(int which) {
  return which == 0 ? TheDocuments().utf8 : TheDocuments().utf16;
}
std::size_t SizeOf(int which) {
  return which == 0 ? TheDocuments().utf8_size : TheDocuments().utf16_size;
}

void WalkOurs(z900::i18n::CXmlDocument& document, std::size_t& elements, std::size_t& chars) {
  while (document.FindChildElement()) {
    ++elements;
    chars += document.ChildElementText().size();
    if (document.EnterElement()) {
      WalkOurs(document, elements, chars);
      document.OutOfElement();
    }
  }
}

void BM_Ours(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  std::size_t elements = 0;
  for (auto _ : state) {
    z900::i18n::CXmlDocument document;
    if (!document.LoadDocument(PathOf(which))) state.SkipWithError("load failed");
    elements = 0;
    std::size_t chars = 0;
    if (document.FindElement()) {
      ++elements;
      WalkOurs(document, elements, chars);
    }
    benchmark::DoNotOptimize(chars);
  }
  state.counters["elements"] = static_cast<double>(elements);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * SizeOf(which)));
}

void WalkPugi(const pugi::xml_node& node, std::size_t& elements, std::size_t& chars) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    ++elements;
    chars += std::char_traits<pugi::char_t>::length(child.child_value());
    WalkPugi(child, elements, chars);
  }
}

void BM_Pugixml(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  std::size_t elements = 0;
  for (auto _ : state) {
    pugi::xml_document document;
    if (!document.load_file(PathOf(which).c_str())) state.SkipWithError("load failed");
    elements = 0;
    std::size_t chars = 0;
    WalkPugi(document, elements, chars);
    benchmark::DoNotOptimize(chars);
  }
  state.counters["elements"] = static_cast<double>(elements);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * SizeOf(which)));
}

void WalkLibxml2(xmlNode* node, std::size_t& elements, std::size_t& chars) {
  for (xmlNode* child = node->children; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    ++elements;
    bool leaf = true;
    for (xmlNode* inner = child->children; inner != nullptr; inner = inner->next) {
      leaf = leaf && inner->type != XML_ELEMENT_NODE;
    }
    if (leaf) {
      xmlChar* content = xmlNodeGetContent(child);
      if (content != nullptr) chars += static_cast<std::size_t>(xmlStrlen(content));
      xmlFree(content);
    } else {
      WalkLibxml2(child, elements, chars);
    }
  }
}

void BM_Libxml2(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  std::size_t elements = 0;
  for (auto _ : state) {
    xmlDoc* document = xmlReadFile(PathOf(which).c_str(), nullptr, XML_PARSE_NONET);
    if (document == nullptr) {
      state.SkipWithError("load failed");
      break;
    }
    elements = 0;
    std::size_t chars = 0;
    WalkLibxml2(reinterpret_cast<xmlNode*>(document), elements, chars);
    benchmark::DoNotOptimize(chars);
    xmlFreeDoc(document);
  }
  state.counters["elements"] = static_cast<double>(elements);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * SizeOf(which)));
}

// Argument 0: the UTF-8 document; 1: the UTF-16 one.
BENCHMARK(BM_Ours)->ArgName("utf16")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pugixml)->ArgName("utf16")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libxml2)->ArgName("utf16")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
