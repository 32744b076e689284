// Writes the sample product tree that the build packs into TSARIN.EXE.
//
//   tsarin-sample-gen OUTPUT_DIR
//
// The tree has the shape of the real product: files in the base directory (documentation
// pages, help, libraries and data, some of which compress and some of which do not), a
// "Profiles" directory of conversion profiles that are already compressed, and a "Textures"
// directory of bitmaps. Everything is derived from fixed seeds, so two runs write the same
// bytes. The two programs of the product, "tsn.exe" and "uninst.exe", are built separately
// and copied in by the build.
//
// Files meant to be stored in the archive are filled with pseudo-random bytes: no compressor
// can shrink them, so the packer stores them without being told.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/types.h>

namespace {

using Bytes = std::vector<uint8_t>;

// SplitMix64: small, fast and the same on every host.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }

 private:
  uint64_t state_;
};

uint64_t SeedOf(const std::string& name) {
  uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (unsigned char c : name) h = (h ^ c) * 1099511628211ull;
  return h;
}

bool g_failed = false;

void WriteFile(const std::string& dir, const std::string& name, const Bytes& data) {
  std::string path = dir + "/" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(data.data(), 1, data.size(), f) != data.size()) {
    std::fprintf(stderr, "tsarin-sample-gen: cannot write %s: %s\n", path.c_str(),
                 std::strerror(errno));
    g_failed = true;
  }
  if (f && std::fclose(f) != 0) g_failed = true;
}

void WriteText(const std::string& dir, const std::string& name, const std::string& text) {
  WriteFile(dir, name, Bytes(text.begin(), text.end()));
}

bool MakeDir(const std::string& path) {
  if (mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) return true;
  std::fprintf(stderr, "tsarin-sample-gen: cannot create %s: %s\n", path.c_str(),
               std::strerror(errno));
  return false;
}

// --- text material -------------------------------------------------------------------------

const char* const kWords[] = {
    "document",  "conversion", "format",   "page",    "layout",  "table",   "font",
    "paragraph", "style",      "export",   "import",  "profile", "filter",  "network",
    "server",    "client",     "queue",    "printer", "image",   "texture", "Pelicode",
    "script",    "option",     "default",  "setting", "user",    "folder",  "file",
    "Tessarin",  "engine",     "render",   "preview", "batch",   "job",     "output",
    "input",     "character",  "encoding", "margin",  "header",  "footer",  "section",
};
constexpr uint32_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);

std::string Sentence(Random& r) {
  std::string s;
  uint32_t n = 6 + r.Below(10);
  for (uint32_t i = 0; i < n; ++i) {
    std::string w = kWords[r.Below(kWordCount)];
    if (i == 0 && w[0] >= 'a' && w[0] <= 'z') w[0] = static_cast<char>(w[0] - 'a' + 'A');
    if (i) s += ' ';
    s += w;
  }
  return s + ". ";
}

std::string Paragraphs(Random& r, size_t bytes, const char* open, const char* close) {
  std::string s;
  while (s.size() < bytes) {
    s += open;
    uint32_t n = 3 + r.Below(5);
    for (uint32_t i = 0; i < n; ++i) s += Sentence(r);
    s += close;
    s += "\r\n";
  }
  return s;
}

std::string HtmlPage(const std::string& name, const std::string& title, size_t bytes) {
  Random r(SeedOf(name));
  std::string s = "<html>\r\n<head><title>" + title +
                  "</title></head>\r\n<body bgcolor=\"#FFFFFF\">\r\n<h1>" + title + "</h1>\r\n";
  uint32_t section = 1;
  while (s.size() < bytes) {
    s += "<h2>" + std::to_string(section++) + ". " + Sentence(r) + "</h2>\r\n";
    s += Paragraphs(r, 1500, "<p>", "</p>");
  }
  return s + "</body>\r\n</html>\r\n";
}

// --- binary material that compresses --------------------------------------------------------

// A library-like image: a header, code-like runs with repeated opcodes, a string table and
// an export table. Low entropy, so it compresses well.
Bytes LibraryImage(const std::string& name, size_t bytes, bool executable) {
  Random r(SeedOf(name));
  Bytes b;
  const char* head = executable ? "MZ\x90" : "!<arch>\n";
  b.insert(b.end(), head, head + std::strlen(head));
  const uint8_t ops[] = {0x55, 0x8B, 0xEC, 0x83, 0xEC, 0x10, 0x53, 0x56, 0x57, 0x8B, 0x45,
                         0x08, 0x50, 0xE8, 0x00, 0x00, 0x00, 0x00, 0x83, 0xC4, 0x04, 0x5F,
                         0x5E, 0x5B, 0x8B, 0xE5, 0x5D, 0xC3, 0x90, 0x90, 0x90, 0x90};
  while (b.size() < bytes * 2 / 3) {
    uint32_t start = r.Below(sizeof ops);
    uint32_t len = 4 + r.Below(sizeof ops - 4);
    for (uint32_t i = 0; i < len; ++i) b.push_back(ops[(start + i) % sizeof ops]);
    b.push_back(static_cast<uint8_t>(r.Below(16)));
  }
  while (b.size() < bytes) {
    std::string sym =
        "_Tsn" + std::string(kWords[r.Below(kWordCount)]) + "@" + std::to_string(4 * r.Below(6));
    b.insert(b.end(), sym.begin(), sym.end());
    b.push_back(0);
  }
  b.resize(bytes);
  return b;
}

// A help file: a fixed header followed by topic records of text.
Bytes HelpFile(const std::string& name, size_t bytes) {
  Random r(SeedOf(name));
  Bytes b = {0x3F, 0x5F, 0x03, 0x00};
  uint32_t topic = 0;
  while (b.size() < bytes) {
    std::string t = "TOPIC " + std::to_string(topic++) + "\x01" + Sentence(r) + Sentence(r);
    b.insert(b.end(), t.begin(), t.end());
    b.push_back(0);
  }
  b.resize(bytes);
  return b;
}

void PutLE16(Bytes& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void PutLE32(Bytes& b, size_t at, uint32_t v) {
  PutLE16(b, at, v & 0xFFFF);
  PutLE16(b, at + 2, v >> 16);
}

// A 24-bit bottom-up bitmap with a smooth pattern (a marbled texture) that compresses.
Bytes Bitmap(const std::string& name, int width, int height) {
  Random r(SeedOf(name));
  const uint32_t stride = static_cast<uint32_t>((width * 3 + 3) & ~3);
  const uint32_t image = stride * static_cast<uint32_t>(height);
  Bytes b(54 + image, 0);
  b[0] = 'B';
  b[1] = 'M';
  PutLE32(b, 2, static_cast<uint32_t>(b.size()));
  PutLE32(b, 10, 54);
  PutLE32(b, 14, 40);
  PutLE32(b, 18, static_cast<uint32_t>(width));
  PutLE32(b, 22, static_cast<uint32_t>(height));
  PutLE16(b, 26, 1);
  PutLE16(b, 28, 24);
  PutLE32(b, 34, image);
  const int base_r = 120 + static_cast<int>(r.Below(120));
  const int base_g = 120 + static_cast<int>(r.Below(120));
  const int base_b = 120 + static_cast<int>(r.Below(120));
  const int band = 4 + static_cast<int>(r.Below(12));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // Diagonal bands with a little quantised noise.
      int v = ((x + y) / band) % 8 * 6 + static_cast<int>(r.Below(3)) * 2;
      size_t p = 54 + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3;
      b[p] = static_cast<uint8_t>(base_b - v);
      b[p + 1] = static_cast<uint8_t>(base_g - v);
      b[p + 2] = static_cast<uint8_t>(base_r - v);
    }
  }
  return b;
}

// --- binary material that does not compress -------------------------------------------------

Bytes Noise(const std::string& name, size_t bytes, const char* magic) {
  Random r(SeedOf(name));
  Bytes b(bytes);
  for (size_t i = 0; i < bytes; i += 8) {
    uint64_t v = r.Next();
    for (size_t k = 0; k < 8 && i + k < bytes; ++k) b[i + k] = static_cast<uint8_t>(v >> (8 * k));
  }
  std::memcpy(b.data(), magic, std::strlen(magic));
  return b;
}

std::string Numbered(const char* stem, int n, const char* ext) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s%02d%s", stem, n, ext);
  return buf;
}

// --- the tree ------------------------------------------------------------------------------

void WriteBase(const std::string& dir) {
  // Pages named by the Start-menu shortcuts, the read-me and the developer reference.
  WriteText(dir, "ReadMe.htm", HtmlPage("ReadMe.htm", "Tessarin - Read Me", 9000));
  WriteText(dir, "tsn.htm", HtmlPage("tsn.htm", "Tessarin User Manual", 60000));
  WriteText(dir, "tsnnet_a.htm",
            HtmlPage("tsnnet_a.htm", "Tessarin Network Administrator's Guide", 30000));
  WriteText(dir, "tsnnet_u.htm", HtmlPage("tsnnet_u.htm", "Tessarin Network User's Guide", 20000));
  WriteText(dir, "plc.htm", HtmlPage("plc.htm", "Pelicode Language Reference", 40000));
  WriteText(dir, "apiref.htm", HtmlPage("apiref.htm", "Tessarin Developer's Reference", 50000));
  WriteText(dir, "formats.htm", HtmlPage("formats.htm", "Supported Formats", 12000));
  WriteText(dir, "faq.htm", HtmlPage("faq.htm", "Frequently Asked Questions", 10000));
  WriteText(dir, "support.htm", HtmlPage("support.htm", "Technical Support", 4000));
  WriteFile(dir, "tsn.hlp", HelpFile("tsn.hlp", 48000));
  WriteFile(dir, "tsn.cnt", HelpFile("tsn.cnt", 3000));

  // Developer components.
  {
    Random r(SeedOf("proto"));
    WriteText(dir, "proto_vb.txt",
              "' Tessarin conversion API declarations for Visual Basic\r\n" +
                  Paragraphs(r, 6000, "Declare Function TsnConvert Lib \"tscv.dll\" ' ", ""));
    WriteText(dir, "proto_c.txt",
              "/* Tessarin conversion API prototypes for C */\r\n" +
                  Paragraphs(r, 6000, "int __stdcall TsnConvert(const char*, int); /* ", " */"));
    WriteText(dir, "sample.frm",
              "VERSION 4.00\r\nBegin VB.Form Sample\r\n   Caption = \"Tessarin Sample\"\r\n" +
                  Paragraphs(r, 3000, "   ' ", "") + "End\r\n");
    std::string vbp =
        "Form=sample.frm\r\nModule=proto_vb.txt\r\nExeName32=\"Sample.exe\"\r\n"
        "Name=\"TessarinSample\"\r\n";
    for (int i = 1; i <= 40; ++i)
      vbp += "Object={" + std::to_string(1000 + i) +
             "-0000-0000-C000-000000000046}#1.0#0; tscv.dll\r\n";
    WriteText(dir, "sample.vbp", vbp);
  }
  WriteFile(dir, "pbar.dll", LibraryImage("pbar.dll", 24000, true));
  WriteFile(dir, "tscv.dll", LibraryImage("tscv.dll", 64000, true));
  WriteFile(dir, "tscv.lib", LibraryImage("tscv.lib", 9000, false));
  WriteFile(dir, "ksniff.lib", LibraryImage("ksniff.lib", 7000, false));
  WriteFile(dir, "pbar.lib", LibraryImage("pbar.lib", 5000, false));
  WriteFile(dir, "apidemo.exe", LibraryImage("apidemo.exe", 30000, true));

  // The conversion engine and its data.
  const char* const engine[] = {"tsnconv.dll", "tsnfilt.dll", "tsnrtf.dll", "tsnpdf.dll",
                                "tsnhtml.dll", "tsnocr.dll",  "tsnres.dll", "tsnspell.dll"};
  size_t size = 40000;
  for (const char* name : engine) {
    WriteFile(dir, name, LibraryImage(name, size, true));
    size = size * 3 / 4 + 9000;
  }
  {
    Random r(SeedOf("texts"));
    WriteText(dir, "license.txt",
              "TESSARIN LICENSE AGREEMENT\r\n\r\n" + Paragraphs(r, 7000, "", ""));
    WriteText(dir, "whatsnew.txt",
              "What is new in Tessarin\r\n\r\n" + Paragraphs(r, 5000, "- ", ""));
    std::string ini =
        "[Tessarin]\r\nProfiles=Profiles\r\nTextures=Textures\r\nLanguage=0409\r\n"
        "[Queue]\r\nMaxJobs=8\r\nRetry=3\r\n";
    for (int i = 1; i <= 32; ++i)
      ini += "[Profile" + std::to_string(i) + "]\r\nFile=Profiles\\" +
             Numbered("profile", i, ".tpf") + "\r\nEnabled=1\r\n";
    WriteText(dir, "tsn.ini", ini);
    WriteText(dir, "fonts.map", Paragraphs(r, 4000, "font ", ""));
    WriteText(dir, "codepage.tbl", Paragraphs(r, 3000, "cp ", ""));
  }
  WriteFile(dir, "tsndict.dic", HelpFile("tsndict.dic", 36000));
  WriteFile(dir, "tsnhyph.dic", HelpFile("tsnhyph.dic", 16000));
  WriteFile(dir, "logo.bmp", Bitmap("logo.bmp", 120, 60));
  WriteFile(dir, "splash.bmp", Bitmap("splash.bmp", 200, 120));
  WriteFile(dir, "toolbar.bmp", Bitmap("toolbar.bmp", 256, 16));

  // Data that is already compressed: lexicons, pictures, media cabinets.
  for (int i = 1; i <= 12; ++i) {
    std::string name = Numbered("tsnlex", i, ".dat");
    WriteFile(dir, name, Noise(name, 14000 + 2300 * static_cast<size_t>(i), "TLX1"));
  }
  for (int i = 1; i <= 6; ++i) {
    std::string name = Numbered("intro", i, ".jpg");
    WriteFile(dir, name, Noise(name, 21000 + 3100 * static_cast<size_t>(i), "\xFF\xD8\xFF\xE0"));
  }
  for (int i = 1; i <= 4; ++i) {
    std::string name = Numbered("media", i, ".cab");
    WriteFile(dir, name, Noise(name, 30000 + 5000 * static_cast<size_t>(i), "MSCF"));
  }
}

void WriteProfiles(const std::string& dir) {
  for (int i = 1; i <= 32; ++i) {
    std::string name = Numbered("profile", i, ".tpf");
    WriteFile(dir, name, Noise(name, 5000 + 611 * static_cast<size_t>(i), "TPF2"));
  }
}

void WriteTextures(const std::string& dir) {
  for (int i = 1; i <= 44; ++i) {
    std::string name = Numbered("tex", i, ".bmp");
    int side = 48 + 8 * (i % 7);
    WriteFile(dir, name, Bitmap(name, side, side));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tsarin-sample-gen OUTPUT_DIR\n");
    return 2;
  }
  std::string out = argv[1];
  if (!MakeDir(out) || !MakeDir(out + "/Profiles") || !MakeDir(out + "/Textures")) return 1;
  WriteBase(out);
  WriteProfiles(out + "/Profiles");
  WriteTextures(out + "/Textures");
  return g_failed ? 1 : 0;
}
