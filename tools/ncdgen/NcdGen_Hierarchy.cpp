// Works out where each net needs signals and pins. A net lives in every comp
// that has one of its bel pins; when it reaches beyond a single comp it also
// has a signal in each module or hard macro between those comps and their
// lowest common ancestor, and a pin on each of those blocks below the
// ancestor. Ports, IOB pins and the master power nets sit at the top.
#include <algorithm>

#include "NcdGen_Design.h"

namespace NcdGen {

namespace {

class Resolver {
 public:
  explicit Resolver(Design& d)
      : m_d(d),
        m_lca(d.netCount, kNone),
        m_lastComp(d.netCount, kNone),
        m_lastNode(d.netCount, kNone),
        m_count(d.netCount, 0) {
    d.driverNode.assign(d.netCount, kNone);
  }

  void Run() {
    ForEachTerminal([this](uint32_t net, uint32_t node, uint32_t comp, bool out) {
      Touch(net, node, comp, out);
    });
    m_d.crossesComp.assign(m_d.netCount, 0);
    for (uint32_t n = 0; n < m_d.netCount; ++n)
      m_d.crossesComp[n] = m_count[n] >= 2;
    ForEachTerminal([this](uint32_t net, uint32_t node, uint32_t, bool) { Walk(net, node); });
    Collect();
  }

 private:
  template <class F>
  void ForEachTerminal(F f);
  void Touch(uint32_t net, uint32_t node, uint32_t comp, bool out);
  void Walk(uint32_t net, uint32_t node);
  void Collect();
  uint32_t Lca(uint32_t a, uint32_t b) const;

  Design& m_d;
  std::vector<uint32_t> m_lca, m_lastComp, m_lastNode;
  std::vector<uint8_t> m_count;  // comps touched, counting the top as two
};

// Calls f(net, node, comp, isDriver) for every connection: bel pins (comp
// set), then IOB pins, ports and master nets (top node, no comp).
template <class F>
void Resolver::ForEachTerminal(F f) {
  for (uint32_t ci = 0; ci < m_d.comps.size(); ++ci) {
    const Comp& c = m_d.comps[ci];
    for (uint32_t b = c.firstBel; b < c.firstBel + c.bels; ++b) {
      const Bel& bel = m_d.bels[b];
      for (int slot = 0; slot < SlotCount(bel.kind); ++slot) {
        uint32_t net = bel.pin[slot];
        if (net != kNone && !(net & kLink)) f(net, c.node, ci, IsOutputSlot(bel.kind, slot));
      }
    }
  }
  for (const Iob& iob : m_d.iobs) {
    f(iob.pad, 0, kNone, false);
    if (iob.in != kNone) f(iob.in, 0, kNone, true);
    if (iob.out != kNone) f(iob.out, 0, kNone, false);
  }
  f(m_d.gnd, 0, kNone, false);
  f(m_d.vcc, 0, kNone, false);
}

void Resolver::Touch(uint32_t net, uint32_t node, uint32_t comp, bool out) {
  if (comp == kNone) {
    m_count[net] = 2;
  } else if (m_lastComp[net] != comp) {
    m_lastComp[net] = comp;
    m_count[net] = static_cast<uint8_t>(std::min(m_count[net] + 1, 2));
  }
  m_lca[net] = m_lca[net] == kNone ? node : Lca(m_lca[net], node);
  if (out) m_d.driverNode[net] = node;
}

uint32_t Resolver::Lca(uint32_t a, uint32_t b) const {
  while (m_d.nodes[a].depth > m_d.nodes[b].depth)
    a = m_d.nodes[a].parent;
  while (m_d.nodes[b].depth > m_d.nodes[a].depth)
    b = m_d.nodes[b].parent;
  while (a != b) {
    a = m_d.nodes[a].parent;
    b = m_d.nodes[b].parent;
  }
  return a;
}

// Terminals of one node come one after another (comps are grouped by their
// node), so remembering the last node walked skips most repeats; Collect()
// drops the rest.
void Resolver::Walk(uint32_t net, uint32_t node) {
  if (!m_d.crossesComp[net] || m_lastNode[net] == node) return;
  m_lastNode[net] = node;
  for (;; node = m_d.nodes[node].parent) {
    bool top = node == m_lca[net];
    m_d.nodeSignals.push_back(NodeSignal{node, net, !top});
    if (top) break;
  }
}

void Resolver::Collect() {
  auto& sigs = m_d.nodeSignals;
  std::sort(sigs.begin(), sigs.end());
  sigs.erase(std::unique(sigs.begin(), sigs.end(),
                         [](const NodeSignal& a, const NodeSignal& b) {
                           return a.node == b.node && a.net == b.net;
                         }),
             sigs.end());
  m_d.nodeSignalBegin.assign(m_d.nodes.size() + 1, 0);
  for (const NodeSignal& s : sigs)
    ++m_d.nodeSignalBegin[s.node + 1];
  for (size_t i = 1; i < m_d.nodeSignalBegin.size(); ++i)
    m_d.nodeSignalBegin[i] += m_d.nodeSignalBegin[i - 1];
}

}  // namespace

void ResolveHierarchy(Design& design) {
  Resolver(design).Run();
}

}  // namespace NcdGen
