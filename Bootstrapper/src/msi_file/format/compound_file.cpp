#include "msi_file/format/compound_file.h"

#include <atomic>

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-output.h>

#include "msi_file/format/path_kind.h"

namespace boot::msi {

namespace {

GsfInfile* AsInfile(void* infile) { return static_cast<GsfInfile*>(infile); }

// libgsf's objects are C structs that begin with their base type.
template <typename To, typename From>
To* Upcast(From* object)
{
    return static_cast<To*>(static_cast<void*>(object));
}

template <typename To, typename From>
const To* Upcast(const From* object)
{
    return static_cast<const To*>(static_cast<const void*>(object));
}

std::string Reason(GError*& error, const char* fallback)
{
    std::string reason = error != nullptr && error->message != nullptr ? error->message : fallback;
    g_clear_error(&error);
    return reason;
}

}  // namespace

CompoundReader::CompoundReader(void* infile) : infile_(infile)
{
    gsf_infile_msole_get_class_id(Upcast<GsfInfileMSOle>(AsInfile(infile_)), classId_.data());
}

CompoundReader::~CompoundReader() { g_object_unref(infile_); }

namespace {

std::atomic<std::size_t>& Complaints()
{
    static std::atomic<std::size_t> complaints{0};
    return complaints;
}

void DiscardMessage(const gchar* /*domain*/, GLogLevelFlags level, const gchar* /*message*/, gpointer /*data*/)
{
    if ((level & G_LOG_LEVEL_CRITICAL) != 0) {
        ++Complaints();
    }
}

// libgsf writes what it finds wrong in a compound file to stderr, an inconsistency as a
// critical message after which it reads on; the callers report a file that cannot be
// read, or that met one of those, themselves.
void QuietLibgsf()
{
    constexpr int kChatter = G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO |
                             G_LOG_LEVEL_DEBUG;
    static const bool quiet = [] {
        for (const char* domain : {"libgsf:msole", "libgsf"}) {
            static_cast<void>(g_log_set_handler(domain, static_cast<GLogLevelFlags>(kChatter), DiscardMessage, nullptr));
        }
        return true;
    }();
    static_cast<void>(quiet);
}

}  // namespace

std::size_t CompoundFileComplaints()
{
    QuietLibgsf();
    return Complaints();
}

std::unique_ptr<CompoundReader> CompoundReader::Open(const std::string& path, std::string& error)
{
    QuietLibgsf();
    const PathKind kind = KindOfPath(path);
    if (!kind.regular) {
        error = kind.what;
        return nullptr;
    }
    GError* failure = nullptr;
    GsfInput* input = gsf_input_stdio_new(path.c_str(), &failure);
    if (input == nullptr) {
        error = Reason(failure, "cannot be read");
        return nullptr;
    }
    GsfInfile* infile = gsf_infile_msole_new(input, &failure);
    g_object_unref(input);
    if (infile == nullptr) {
        error = "no compound file (" + Reason(failure, "unknown format") + ")";
        return nullptr;
    }
    return std::unique_ptr<CompoundReader>(new CompoundReader(infile));
}

namespace {

// A storage is an infile of its own; a stream is not.
bool IsStorage(GsfInput* child)
{
    return g_type_check_instance_is_a(Upcast<GTypeInstance>(child), gsf_infile_get_type()) != FALSE &&
           gsf_infile_num_children(Upcast<GsfInfile>(child)) >= 0;
}

// The root's children of one kind, by name.
std::vector<std::string> ChildNames(GsfInfile* infile, bool storages)
{
    std::vector<std::string> names;
    const int count = gsf_infile_num_children(infile);
    for (int i = 0; i < count; ++i) {
        GsfInput* child = gsf_infile_child_by_index(infile, i);
        if (child == nullptr) {
            continue;
        }
        if (IsStorage(child) == storages && gsf_infile_name_by_index(infile, i) != nullptr) {
            names.emplace_back(gsf_infile_name_by_index(infile, i));
        }
        g_object_unref(child);
    }
    return names;
}

bool ReadInput(GsfInput* input, std::string& bytes)
{
    const gsf_off_t size = gsf_input_size(input);
    bool ok = size >= 0;
    bytes.assign(ok ? static_cast<std::size_t>(size) : 0, '\0');
    if (ok && size > 0) {
        ok = gsf_input_read(input, bytes.size(), Upcast<guint8>(bytes.data())) != nullptr;
    }
    return ok;
}

// Every stream and storage below `top`, named and sized, in one text; a storage's
// children stand in braces.
bool Flatten(GsfInfile* top, std::string& flattened)
{
    struct Frame {
        GsfInfile* storage;
        int next;
    };
    std::vector<Frame> frames{{top, 0}};
    std::vector<GsfInput*> storages;  // held while their children are read
    bool ok = true;
    while (ok && !frames.empty()) {
        Frame& frame = frames.back();
        if (frame.next >= gsf_infile_num_children(frame.storage)) {
            flattened += "}";
            frames.pop_back();
            continue;
        }
        const int index = frame.next++;
        GsfInfile* parent = frame.storage;
        GsfInput* child = gsf_infile_child_by_index(parent, index);
        if (child == nullptr) {
            ok = false;
            break;
        }
        const char* name = gsf_infile_name_by_index(parent, index);
        const std::string label = name != nullptr ? name : "";
        flattened.append(std::to_string(label.size())).append(":").append(label);
        if (IsStorage(child)) {
            flattened += "{";
            storages.push_back(child);
            frames.push_back({Upcast<GsfInfile>(child), 0});
            continue;
        }
        std::string bytes;
        ok = ReadInput(child, bytes);
        flattened.append(std::to_string(bytes.size())).append(":").append(bytes);
        g_object_unref(child);
    }
    for (GsfInput* storage : storages) {
        g_object_unref(storage);
    }
    return ok;
}

}  // namespace

std::vector<std::string> CompoundReader::StreamNames() const { return ChildNames(AsInfile(infile_), false); }

std::vector<std::string> CompoundReader::StorageNames() const { return ChildNames(AsInfile(infile_), true); }

bool CompoundReader::ReadStorage(const std::string& name, std::string& flattened) const
{
    flattened.clear();
    GsfInput* child = gsf_infile_child_by_name(AsInfile(infile_), name.c_str());
    if (child == nullptr) {
        return false;
    }
    const bool ok = IsStorage(child) && Flatten(Upcast<GsfInfile>(child), flattened);
    g_object_unref(child);
    return ok;
}

bool CompoundReader::ReadStream(const std::string& name, std::string& bytes) const
{
    GsfInput* child = gsf_infile_child_by_name(AsInfile(infile_), name.c_str());
    if (child == nullptr) {
        return false;
    }
    const bool ok = ReadInput(child, bytes);
    g_object_unref(child);
    return ok;
}

bool ComposeCompoundFile(const ClassId& classId, const std::vector<CompoundStream>& streams, std::string& bytes,
                         std::string& error)
{
    GsfOutput* memory = gsf_output_memory_new();
    GsfOutfile* outfile = gsf_outfile_msole_new(memory);
    bool ok = gsf_outfile_msole_set_class_id(Upcast<GsfOutfileMSOle>(outfile), classId.data()) != FALSE;
    for (const CompoundStream& stream : streams) {
        if (!ok) {
            break;
        }
        GsfOutput* child = gsf_outfile_new_child(outfile, stream.name.c_str(), FALSE);
        ok = child != nullptr &&
             gsf_output_write(child, stream.bytes.size(), Upcast<const guint8>(stream.bytes.data())) != FALSE;
        if (child != nullptr) {
            ok = gsf_output_close(child) != FALSE && ok;
            g_object_unref(child);
        }
    }
    ok = gsf_output_close(Upcast<GsfOutput>(outfile)) != FALSE && ok;
    g_object_unref(outfile);
    if (ok) {
        GsfOutputMemory* output = Upcast<GsfOutputMemory>(memory);
        bytes.assign(Upcast<const char>(gsf_output_memory_get_bytes(output)),
                     static_cast<std::size_t>(gsf_output_size(memory)));
    } else {
        error = "libgsf could not compose the compound file";
    }
    g_object_unref(memory);
    return ok;
}

}  // namespace boot::msi
