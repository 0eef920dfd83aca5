#include "output.h"

#include "catalogue/fieldvalues.h"
#include "notation/hextext.h"
#include "notation/jsonwriter.h"

#include <ostream>

namespace larkspur::cli {

namespace {

const char* kindName(ControlKind kind) {
    switch (kind) {
    case ControlKind::CheckBox:
        return "check-box";
    case ControlKind::DropDown:
        return "list";
    case ControlKind::Radio:
        return "radio";
    case ControlKind::Track:
        return "attenuation";
    }
    return "";
}

} // namespace

Output::Output(std::ostream& out, bool json, bool verbose)
    : m_out(out), m_json(json), m_verbose(verbose) {}

void Output::registers(const RegisterValues& registers) {
    this->registers(KnownRegisters(registers.begin(), registers.end()));
}

void Output::registers(const KnownRegisters& registers) {
    if (m_json) {
        JsonWriter json;
        json.beginObject().key("registers").beginArray();
        for (const auto& [address, value] : registers) {
            json.beginObject().key("address").value(static_cast<long long>(address)).key("value");
            value ? json.value(static_cast<long long>(*value)) : json.null();
            json.endObject();
        }
        json.endArray().endObject();
        m_out << json.text() << '\n';
        return;
    }
    for (const auto& [address, value] : registers) {
        m_out << (value ? historyLine(address, *value) : "0x" + hexText(address, 2) + ", ??")
              << '\n';
    }
}

void Output::writes(const std::vector<std::string>& lines) {
    if (!m_verbose) {
        return;
    }
    if (m_json) {
        JsonWriter json;
        json.beginObject().key("writes").beginArray();
        for (const std::string& line : lines) {
            json.value(line);
        }
        json.endArray().endObject();
        m_out << json.text() << '\n';
        return;
    }
    for (const std::string& line : lines) {
        m_out << line << '\n';
    }
}

void Output::ports(const std::vector<PortReport>& reports) {
    if (m_json) {
        JsonWriter json;
        json.beginObject().key("ports").beginArray();
        for (const PortReport& report : reports) {
            json.beginObject().key("number").value(static_cast<long long>(report.number));
            json.key("path").value(report.path).key("state").value(portStateName(report.state));
            json.key("reason").value(report.reason).endObject();
        }
        json.endArray().endObject();
        m_out << json.text() << '\n';
        return;
    }
    for (const PortReport& report : reports) {
        m_out << reportLine(report) << '\n';
    }
}

void Output::fields(const std::vector<BoundControl>& rows) {
    if (m_json) {
        JsonWriter json;
        json.beginObject().key("fields").beginArray();
        for (const BoundControl& row : rows) {
            json.beginObject().key("name").value(row.name).key("caption").value(row.caption);
            json.key("group").value(row.group).key("kind").value(kindName(row.kind));
            // The field's place from the catalogue; the tooltip is the program's own text, which
            // may say less (the data format's reads "Bit2-0" for bits 3 to 0).
            json.key("register").value(static_cast<long long>(row.reg));
            json.key("shift").value(static_cast<long long>(row.shift));
            json.key("width").value(static_cast<long long>(row.width));
            json.key("tooltip").value(row.tooltip).key("values").value(fieldChoices(row, false));
            if (row.kind == ControlKind::Track) {
                // The board is not asked which mode it is in: both ranges are given.
                json.key("wideValues").value(fieldChoices(row, true));
            }
            json.key("settable").value(row.enabled).endObject();
        }
        json.endArray().endObject();
        m_out << json.text() << '\n';
        return;
    }
    for (const BoundControl& row : rows) {
        m_out << row.name << '\t' << row.caption << '\t' << row.tooltip << '\t'
              << fieldChoices(row, false)
              << (row.kind == ControlKind::Track ? " (wide range " + fieldChoices(row, true) + ")"
                                                 : std::string())
              << (row.enabled ? "" : "\t(shows the mode only)") << '\n';
    }
}

void Output::fieldValue(const BoundControl& row, const BoardSession::FieldValue& value) {
    if (m_json) {
        JsonWriter json;
        json.beginObject().key("field").value(row.name).key("caption").value(row.caption);
        json.key("value").value(value.text);
        json.key("register").value(static_cast<long long>(value.address));
        json.key("registerValue").value(static_cast<long long>(value.value)).endObject();
        m_out << json.text() << '\n';
        return;
    }
    m_out << value.text << '\n';
}

void Output::flags(bool zero1, bool zero2) {
    const int first = zero1 ? 1 : 0;
    const int second = zero2 ? 1 : 0;
    if (m_json) {
        JsonWriter json;
        json.beginObject().key("ZERO1").value(static_cast<long long>(first));
        json.key("ZERO2").value(static_cast<long long>(second)).endObject();
        m_out << json.text() << '\n';
        return;
    }
    m_out << "ZERO1=" << first << " ZERO2=" << second << '\n';
}

void Output::diff(const RegisterDiff& diff) {
    if (m_json) {
        JsonWriter json;
        json.beginObject().key("equal").value(diff.empty()).key("fields").beginArray();
        for (const FieldChange& change : diff.fields) {
            json.beginObject().key("field").value(change.field->name);
            json.key("caption").value(change.field->caption);
            json.key("kind").value(kindName(change.field->kind));
            json.key("register").value(static_cast<long long>(change.field->reg));
            json.key("old").value(change.beforeText).key("new").value(change.afterText);
            json.key("oldItem").value(static_cast<long long>(change.before));
            json.key("newItem").value(static_cast<long long>(change.after)).endObject();
        }
        json.endArray().key("bits").beginArray();
        for (const BitsChange& change : diff.bits) {
            json.beginObject().key("register").value(static_cast<long long>(change.reg));
            json.key("mask").value(static_cast<long long>(change.mask));
            json.key("old").value(static_cast<long long>(change.before));
            json.key("new").value(static_cast<long long>(change.after)).endObject();
        }
        json.endArray().endObject();
        m_out << json.text() << '\n';
        return;
    }
    for (const std::string& line : diffLines(diff)) {
        m_out << line << '\n';
    }
}

void Output::scriptRun(const BoardSession::ScriptSummary& summary) {
    writes(summary.writes);
    if (!m_json) {
        return;
    }
    JsonWriter json;
    json.beginObject().key("run").beginObject();
    json.key("lines").value(static_cast<long long>(summary.lines));
    json.key("writes").value(static_cast<long long>(summary.writes.size()));
    json.key("failures").value(static_cast<long long>(summary.failures));
    json.endObject().endObject();
    m_out << json.text() << '\n';
}

void Output::error(const Error& error) {
    if (!m_json) {
        return;
    }
    JsonWriter json;
    json.beginObject().key("error").beginObject();
    json.key("kind").value(error.kind).key("message").value(error.message).key("code");
    error.failure ? json.value(static_cast<long long>(error.failure->code)) : json.null();
    json.key("register");
    error.failure ? json.value(static_cast<long long>(error.failure->address)) : json.null();
    json.endObject().endObject();
    m_out << json.text() << '\n';
}

void Output::plain(std::string_view text) {
    m_out << text;
}

} // namespace larkspur::cli
