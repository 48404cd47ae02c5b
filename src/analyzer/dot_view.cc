// The call graph in Graphviz's dot language (--dot), one digraph a file: a node for each
// function, labelled with its name (or address) and its bytes, the reset address and the vectors
// as boxes; a solid edge for each call, labelled with its count when above 1, and a dashed one
// for each tail call. A call target that starts no function (outside the code traced) is a node
// of its own, in plain text.
#include <set>

#include "analyzer/view_makers.h"
#include "analyzer/view_text.h"
#include "textout/text_escape.h"

namespace opfreq {
namespace {

class DotView : public View {
 public:
  explicit DotView(const ViewSetup& setup) : out_(setup.out) {}

  void result(const Analysis& analysis) override {
    if (!analysis.functions) return;
    const FunctionProfiles& profiles = *analysis.functions;
    ViewText text(out_);
    text.put("digraph ").escaped(analysis.name, appendDotString).put(" {\n");
    std::set<uint16_t> starts;
    for (const FunctionProfile& f : profiles.functions) {
      starts.insert(f.address);
      // The name and the size on two lines: dot's own line break after the quoted name.
      std::string quoted;
      appendDotString(quoted, label(f.name, f.address));
      quoted.insert(quoted.size() - 1, "\\n" + std::to_string(f.bytes) + " bytes");
      node(text, f.address).put(" [label=").raw(quoted);
      const bool box = f.kind == FunctionKind::Reset || f.kind == FunctionKind::Vector;
      text.raw(box ? ", shape=box];\n" : "];\n");
    }
    for (const FunctionProfile& f : profiles.functions) {
      for (const Edge& edge : profiles.edgesOf(f.callsTo)) {
        if (starts.insert(edge.address).second) {  // no function of its own
          node(text, edge.address).put(" [label=");
          text.escaped(label(analysis.symbols->nameOf(edge.address), edge.address),
                       appendDotString);
          text.put(", shape=plaintext];\n");
        }
      }
    }
    for (const FunctionProfile& f : profiles.functions) {
      for (const bool calls : {true, false}) {
        for (const Edge& edge : profiles.edgesOf(calls ? f.callsTo : f.jumpsTo)) {
          node(text, f.address).put(" -> ");
          node(text, edge.address);
          if (!calls) {
            text.put(" [style=dashed");
          } else if (edge.count > 1) {
            text.put(" [label=\"").number(edge.count).put("\"");
          }
          text.raw(!calls || edge.count > 1 ? "];\n" : ";\n");
        }
      }
    }
    text.put("}\n");
  }

 private:
  static ViewText& node(ViewText& text, uint16_t address) { return text.put("f").hex(address, 4); }
  static std::string label(std::string_view name, uint16_t address) {
    return name.empty() ? hexDigits(address, 4) : std::string(name);
  }

  OutputStream& out_;
};

}  // namespace

std::unique_ptr<View> makeDotView(const ViewSetup& setup) {
  return std::make_unique<DotView>(setup);
}

}  // namespace opfreq
