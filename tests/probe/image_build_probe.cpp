// korvo-probe image-build [-z] [-slk] [-nd] [-ico FILE] [-version FILE]
//     [-langmapping FILE] [-stringlists FILE | -stringlists-sign FILE] LAYOUT OUT
// Fills a compile context without built-ins from LAYOUT, applies the language
// mapping as a compilation ends, then resolves, lays out, writes and (-z)
// compresses the image as the pipeline does. OUT is written whole; exit 0
// when it was, 1 otherwise (also when a LAYOUT line is wrong). LAYOUT lines, '#'
// comments; TEXT runs to the line end with \n, \t and \\ escaped; N 0-based:
//   code LIST OPCODE OPERAND...   LIST 0, 1 or 2; OPERAND K/T/V (kind, data
//                                 type, value), @N (the N-th code line), $N
//                                 (the N-th resource line), ~N (the N-th reloc)
//   string TEXT | string-nomark TEXT | binary HEX | file PATH
//   reloc NAME HASH | module NAME | remove PATH
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "codegen/compile_context.h"
#include "codegen/instructions.h"
#include "driver/pipeline_files.h"
#include "foundation/logger.h"
#include "foundation/whole_file.h"
#include "image/compressed_image.h"
#include "image/image_writer.h"
#include "model/opcodes.h"
#include "options/compile_options.h"
#include "probe.h"

namespace {

std::string unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char c = text[++i];
            out += c == 'n' ? '\n' : c == 't' ? '\t' : c;
        } else {
            out += text[i];
        }
    }
    return out;
}

int64_t number(const std::string& text) { return static_cast<int64_t>(std::strtoull(text.c_str(), nullptr, 0)); }

struct CodeLine {
    qestl::SmartPtr record;
    std::vector<std::string> operands;
};

class LayoutBuilder {
public:
    explicit LayoutBuilder(CompileContext& context) : context_(context) {}

    bool build(const std::string& layout) {
        std::istringstream lines(layout);
        std::string line;
        int lineNumber = 0;
        while (std::getline(lines, line)) {
            ++lineNumber;
            if (line.empty() || line[0] == '#') continue;
            if (!apply(line)) {
                std::printf("layout line %d: %s\n", lineNumber, line.c_str());
                ++errors_;
            }
        }
        for (CodeLine& code : code_) {
            auto* record = code.record.as<model::cbircode>();
            for (size_t i = 0; i < code.operands.size(); ++i)
                if (!operand(code.operands[i], record->operands[i])) {
                    std::printf("layout operand: %s\n", code.operands[i].c_str());
                    ++errors_;
                }
        }
        return errors_ == 0;
    }

private:
    bool apply(const std::string& line) {
        const size_t blank = line.find(' ');
        const std::string word = line.substr(0, blank);
        const std::string rest = blank == std::string::npos ? std::string() : line.substr(blank + 1);
        codegen::ResourceTable& table = context_.tables().resources();
        if (word == "code") {
            std::istringstream in(rest);
            int list = -1;
            uint32_t opcode = 0;
            in >> list >> opcode;
            if (!in || list < 0 || list > 2) return false;
            CodeLine code;
            for (std::string op; in >> op;) code.operands.push_back(op);
            if (code.operands.size() > model::kMaxOperands) return false;
            code.record = codegen::makeInstruction(opcode, static_cast<int>(code.operands.size()));
            context_.emitter().list(list).pushBack(code.record);
            code_.push_back(std::move(code));
            return true;
        }
        if (word == "string" || word == "string-nomark") {
            const std::string text = unescape(rest);
            model::Operand ref = table.getOrAdd(context_, text, codegen::kResourceString, text.data(), text.size(),
                                                model::NodeHandle());
            // A string asked for by the source carries the mark.
            if (word == "string") ref.target.as<codegen::ResourceItem>()->setMark(1);
            resources_.push_back(ref);
            return true;
        }
        if (word == "binary") {
            std::string bytes;
            for (size_t i = 0; i + 1 < rest.size(); i += 2)
                bytes += static_cast<char>(std::strtol(rest.substr(i, 2).c_str(), nullptr, 16));
            resources_.push_back(table.getOrAdd(context_, "", codegen::kResourceBinary, bytes.data(), bytes.size(),
                                                model::NodeHandle()));
            return true;
        }
        if (word == "file") {
            resources_.push_back(table.getOrAdd(context_, rest, codegen::kResourceFile, nullptr, 0, model::NodeHandle()));
            return context_.errorCount() == 0;
        }
        if (word == "reloc" || word == "module") {
            std::istringstream in(rest);
            std::string name, hash;
            in >> name >> hash;
            const model::Operand nameOperand = context_.stringResource(name);
            if (word == "reloc") {
                relocations_.push_back(context_.tables().relocations().getOrAddRelocationEntry(
                    name, nameOperand, static_cast<uint32_t>(number(hash))));
            } else {
                qestl::SmartPtr entry = codegen::makeInstruction(model::kOpImportModuleTable, 1);
                entry.as<model::cbircode>()->operands[0] = nameOperand;
                context_.tables().moduleEntries().pushBack(entry);
            }
            return !name.empty();
        }
        if (word == "remove") return std::remove(rest.c_str()) == 0;
        return false;
    }

    bool operand(const std::string& text, model::Operand& out) {
        const size_t n = static_cast<size_t>(std::strtoul(text.c_str() + 1, nullptr, 10));
        if (text[0] == '@') {
            if (n >= code_.size()) return false;
            out.setObjectRef(code_[n].record, 0);
            return true;
        }
        if (text[0] == '$') {
            if (n >= resources_.size()) return false;
            out = resources_[n];
            return true;
        }
        if (text[0] == '~') {
            if (n >= relocations_.size()) return false;
            out = relocations_[n];
            return true;
        }
        const size_t first = text.find('/'), second = text.find('/', first + 1);
        if (second == std::string::npos) return false;
        out = model::Operand(number(text.substr(second + 1)), static_cast<uint32_t>(number(text.substr(0, first))),
                             static_cast<uint32_t>(number(text.substr(first + 1, second - first - 1))));
        return true;
    }

    CompileContext& context_;
    std::vector<CodeLine> code_;
    std::vector<model::Operand> resources_;
    std::vector<model::Operand> relocations_;
    int errors_ = 0;
};

int imageBuild(int argc, char** argv) {
    CompileOptions options;
    int i = 0;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        const std::string flag = argv[i];
        const bool withValue = flag == "-ico" || flag == "-version" || flag == "-langmapping" ||
                               flag == "-stringlists" || flag == "-stringlists-sign";
        if (withValue && i + 1 >= argc) return 2;
        if (flag == "-z") options.compressImage = 1;
        else if (flag == "-slk") options.sharedModule = 1;
        else if (flag == "-nd") options.noDebugInfo = 1;
        else if (flag == "-ico") options.iconOrListingFile = qestl::widen(argv[++i]);
        else if (flag == "-version") options.versionFile = qestl::widen(argv[++i]);
        else if (flag == "-langmapping") options.languageMappingFile = qestl::widen(argv[++i]);
        else if (flag == "-stringlists") options.stringListFile = qestl::widen(argv[++i]);
        else if (flag == "-stringlists-sign") {
            options.stringListFile = qestl::widen(argv[++i]);
            options.signedStringList = 1;
        } else {
            return 2;
        }
    }
    if (argc - i != 2) return 2;
    std::string layout;
    if (!probe::readInput(argv[i], layout)) return 2;
    if (!options.versionFile.empty() && !readVersionFile(options)) return 1;

    // Diagnostics reach standard output as the compiler's do.
    logcatSetUp();
    static qeCompilerLogcat console;
    logcatAddSink(&console);
    CompileContext context;
    context.setOptions(&options);
    if (!LayoutBuilder(context).build(layout)) return 1;
    loadLanguageDescription(context);
    context.resolveOperands();
    context.assignAddresses();
    qestl::qeByteStream out;
    if (!writeImage(context, out, options)) return 1;
    if (options.compressImage && !compressProgramImage(out, options.iconBytes)) return 1;
    return writeFileWhole(qestl::widen(argv[i + 1]), out.data(), out.size()) ? 0 : 1;
}

KORVO_PROBE("image-build", "[-z] [-slk] [-nd] [-ico F] [-version F] [-langmapping F] [-stringlists F] LAYOUT OUT",
            imageBuild);

}  // namespace
