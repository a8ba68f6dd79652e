// ix4check - checks an .IX4 index file against the rules of its format and,
// with a data file, against the records it indexes.
//
//   ix4check INDEX DATAFILE [--exclude-tag=C] [--require-tag=C] [--deleted]
//
// DATAFILE "-" checks an index without data file.  The tag options give the
// tag filter the index is kept with (records it excludes must have no key);
// --deleted is --exclude-tag='*'.  Prints every problem and exits 1, or
// prints a one-line summary and exits 0; 2 for a usage error.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/ix4check/ix4_checker.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: ix4check INDEX DATAFILE|- [--exclude-tag=C] [--require-tag=C] "
                 "[--deleted]\n");
    return 2;
}

bool tag_option(const char *arg, const char *name, uint32_t *tag) {
    const size_t length = std::strlen(name);
    if (std::strncmp(arg, name, length) != 0 || std::strlen(arg) != length + 1) return false;
    *tag = static_cast<unsigned char>(arg[length]);
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) return usage();
    ix4check::Options options;
    options.index_path = argv[1];
    options.data_path = argv[2];
    for (int i = 3; i < argc; ++i) {
        uint32_t tag = 0;
        if (std::strcmp(argv[i], "--deleted") == 0)
            options.tag_filter = (options.tag_filter & ~0xFFu) | '*';
        else if (tag_option(argv[i], "--exclude-tag=", &tag))
            options.tag_filter = (options.tag_filter & ~0xFFu) | tag;
        else if (tag_option(argv[i], "--require-tag=", &tag))
            options.tag_filter = (options.tag_filter & ~0xFF00u) | tag << 8;
        else
            return usage();
    }
    const ix4check::Report report = ix4check::check_index(options);
    if (!report.ok()) {
        std::fputs(report.text().c_str(), stdout);
        return 1;
    }
    std::printf("%s\n", report.summary().c_str());
    return 0;
}
