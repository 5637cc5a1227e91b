#include "brand/brand.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <system_error>

#include "brand/icon_file.h"
#include "brand/pe_image.h"
#include "brand/version_record.h"
#include "platform/text.h"
#include "version.h"

namespace corvid::brand {

namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    "usage: corvid-brand [--icon FILE.ico] [--product-name TEXT] [--file-description TEXT]\n"
    "                    [--company-name TEXT] [--legal-copyright TEXT] [--product-version A.B.C.D]\n"
    "                    [--file-version A.B.C.D] [--original-filename NAME] [--internal-name NAME]\n"
    "                    INPUT.exe OUTPUT.exe\n";

// The options that set a string of the version record, by the string's key.
const std::map<std::string, const char16_t*> kStringOptions = {
    {"--product-name", u"ProductName"},         {"--file-description", u"FileDescription"},
    {"--company-name", u"CompanyName"},         {"--legal-copyright", u"LegalCopyright"},
    {"--original-filename", u"OriginalFilename"}, {"--internal-name", u"InternalName"},
};

// What to brand into which copy.
struct Options : Branding {
    std::string input;
    std::string output;
};

fs::path pathOf(const std::string& utf8) { return fs::u8path(utf8); }

bool readFile(const std::string& name, Bytes& data, std::string& error) {
    std::ifstream in(pathOf(name), std::ios::binary);
    if (!in) {
        error = name + ": cannot be read";
        return false;
    }
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = name + ": cannot be read";
        return false;
    }
    return true;
}

// Writes beside the target under a temporary name, with the permissions of
// `like`, and renames it at the end, so a failure leaves no output behind.
bool writeFile(const std::string& name, const Bytes& data, const std::string& like, std::string& error) {
    const fs::path target = pathOf(name);
    fs::path temporary = target;
    temporary += ".corvid-brand.tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (out) out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        if (out) out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            error = name + ": cannot be written";
            return false;
        }
    }
    // Executable where the input was.
    std::error_code failure;
    fs::permissions(temporary, fs::status(pathOf(like)).permissions(), failure);
    fs::rename(temporary, target, failure);
    if (failure) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        error = name + ": cannot be written (" + failure.message() + ")";
        return false;
    }
    return true;
}

// The same file, or (the output not existing yet) the same name.
bool samePath(const std::string& a, const std::string& b) {
    std::error_code error;
    if (fs::equivalent(pathOf(a), pathOf(b), error)) return true;
    const fs::path first = fs::weakly_canonical(pathOf(a), error);
    if (error) return false;
    const fs::path second = fs::weakly_canonical(pathOf(b), error);
    return !error && first == second;
}

// 0 parsed, 2 bad usage (message in `error`).
int parseArguments(const std::vector<std::string>& arguments, Options& options, std::string& error) {
    std::vector<std::string> files;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.size() < 2 || argument.compare(0, 2, "--") != 0) {
            files.push_back(argument);
            continue;
        }
        if (i + 1 >= arguments.size()) {
            error = argument + " needs a value";
            return 2;
        }
        const std::string& value = arguments[++i];
        if (argument == "--icon") {
            options.icon = value;
        } else if (argument == "--product-version" || argument == "--file-version") {
            const auto version = parseVersionText(value);
            if (!version) {
                error = argument + " " + value + ": not a version of 1 to 4 numbers 0-65535 (A.B.C.D)";
                return 2;
            }
            (argument == "--product-version" ? options.productVersion : options.fileVersion) = version;
        } else if (const auto key = kStringOptions.find(argument); key != kStringOptions.end()) {
            options.strings[key->second] = fromUtf8(value);
        } else {
            error = "unknown option " + argument;
            return 2;
        }
    }
    if (files.size() != 2) {
        error = "INPUT and OUTPUT are needed";
        return 2;
    }
    options.input = files[0];
    options.output = files[1];
    if (samePath(options.input, options.output)) {
        error = options.output + ": is the input; write the branded copy to another file";
        return 2;
    }
    return 0;
}

bool brandVersion(ResourceTree& tree, const Options& options, std::string& error) {
    if (options.strings.empty() && !options.productVersion && !options.fileVersion) return true;
    NameMap& records = tree[ResourceKey(kVersionType)];
    ResourceData* data = nullptr;
    if (!records.empty() && !records.begin()->second.empty()) data = &records.begin()->second.begin()->second;
    VersionNode record = emptyVersionRecord();
    if (data) {
        auto parsed = parseVersionRecord(data->bytes, error);
        if (!parsed) return false;
        record = std::move(*parsed);
        if (!fixedVersion(record, false)) record.value = emptyVersionRecord().value;
    } else {
        data = &records[ResourceKey(std::uint16_t{1})][0x0409];
    }
    for (const auto& [key, value] : options.strings) setVersionString(record, key, value);
    if (options.fileVersion) {
        setFixedVersion(record, false, *options.fileVersion);
        setVersionString(record, u"FileVersion", versionText(*options.fileVersion));
    }
    if (options.productVersion) {
        setFixedVersion(record, true, *options.productVersion);
        setVersionString(record, u"ProductVersion", versionText(*options.productVersion));
    }
    data->bytes = buildVersionRecord(record);
    return true;
}

int brand(const Options& options, std::string& error) {
    Bytes input;
    if (!readFile(options.input, input, error)) return 1;
    auto image = parsePeImage(std::move(input), error);
    if (!image) {
        error = options.input + ": " + error;
        return 1;
    }
    ResourceTree tree = image->resources;
    if (!options.icon.empty()) {
        Bytes file;
        if (!readFile(options.icon, file, error)) return 1;
        const auto images = parseIconFile(file, error);
        if (!images) {
            error = options.icon + ": " + error;
            return 1;
        }
        replaceIcon(tree, *images, 0);
    }
    if (!brandVersion(tree, options, error)) {
        error = options.input + ": " + error;
        return 1;
    }
    const auto output = rebuildPeImage(*image, tree, error);
    if (!output) {
        error = options.input + ": " + error;
        return 1;
    }
    return writeFile(options.output, *output, options.input, error) ? 0 : 1;
}

}  // namespace

int brandCopy(const std::string& input, const std::string& output, const Branding& branding, std::string& error) {
    Options options{branding, input, output};
    return brand(options, error);
}

int runBrand(const std::vector<std::string>& arguments, std::string& messages) {
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "--version")) {
        messages = arguments[0] == "--help" ? kUsage : "corvid-brand " CORVID_VERSION_TEXT "\n";
        return 0;
    }
    Options options;
    std::string error;
    int status = parseArguments(arguments, options, error);
    if (status == 0) status = brand(options, error);
    if (status != 0) messages = "corvid-brand: " + error + "\n" + (status == 2 ? kUsage : "");
    return status;
}

}  // namespace corvid::brand
