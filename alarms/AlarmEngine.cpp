#include "alarms/AlarmEngine.h"

#include <cmath>

namespace Alarm {

float Rule::pick(const Stats& st) const
{
    switch (nType) {
    case AboveMin:
    case BelowMin: return st.fMin;
    case AboveAvg:
    case BelowAvg: return st.fAvg;
    default: return st.fMax;
    }
}

bool Rule::sameCondition(const Rule& other) const
{
    return nSource == other.nSource && nType == other.nType && fThresholdC == other.fThresholdC &&
           fHoldSec == other.fHoldSec && bEnabled == other.bEnabled;
}

const char* typeKey(int nType)
{
    static const char* const kKeys[TypeCount] = {"Above(Max Temper)", "Below(Max Temper)", "Above(Min Temper)",
                                                 "Below(Min Temper)", "Above(Avg Temper)", "Below(Avg Temper)"};
    return nType >= 0 && nType < TypeCount ? kKeys[nType] : "";
}

std::vector<Event> Engine::setRules(const std::vector<Rule>& rules, qint64 nNowMs)
{
    std::vector<Event> events;
    std::vector<State> states(rules.size());
    for (size_t i = 0; i < m_Rules.size(); ++i) {
        if (i < rules.size() && m_Rules[i].sameCondition(rules[i])) {
            states[i] = m_States[i];
        } else if (m_States[i].bActive) {
            events.push_back({false, int(i), nNowMs, m_States[i].fLastC});
        }
    }
    m_Rules = rules;
    m_States = std::move(states);
    return events;
}

std::vector<Event> Engine::feed(const Sample& sample)
{
    std::vector<Event> events;
    for (size_t i = 0; i < m_Rules.size(); ++i) {
        const Rule& rule = m_Rules[i];
        State& st = m_States[i];
        const bool bHasSource = rule.nSource == kSceneSource || sample.items.contains(rule.nSource);
        if (!rule.bEnabled || !bHasSource) {
            // A rule switched off or an item deleted cannot keep an alarm open.
            if (st.bActive)
                events.push_back({false, int(i), sample.nTimeMs, st.fLastC});
            st = State();
            continue;
        }
        const float fValue = rule.pick(rule.nSource == kSceneSource ? sample.scene : sample.items.value(rule.nSource));
        if (!std::isfinite(fValue))
            continue;
        st.fLastC = fValue;
        if (st.bActive) {
            const bool bCleared = rule.isAbove() ? fValue < rule.fThresholdC - kHysteresisC
                                                 : fValue > rule.fThresholdC + kHysteresisC;
            if (bCleared) {
                st = State();
                st.fLastC = fValue;
                events.push_back({false, int(i), sample.nTimeMs, fValue});
            }
            continue;
        }
        const bool bCrossed = rule.isAbove() ? fValue > rule.fThresholdC : fValue < rule.fThresholdC;
        if (!bCrossed) {
            st.bPending = false;
            continue;
        }
        // A clock that stepped back restarts the hold instead of firing early or never.
        if (!st.bPending || sample.nTimeMs < st.nSinceMs) {
            st.bPending = true;
            st.nSinceMs = sample.nTimeMs;
        }
        if (double(sample.nTimeMs - st.nSinceMs) >= rule.fHoldSec * 1000.0) {
            st.bActive = true;
            st.bPending = false;
            events.push_back({true, int(i), sample.nTimeMs, fValue});
        }
    }
    return events;
}

std::vector<Event> Engine::endAll(qint64 nNowMs)
{
    std::vector<Event> events;
    for (size_t i = 0; i < m_States.size(); ++i) {
        if (m_States[i].bActive)
            events.push_back({false, int(i), nNowMs, m_States[i].fLastC});
        m_States[i] = State();
    }
    return events;
}

bool Engine::isActive(int nRule) const
{
    return nRule >= 0 && size_t(nRule) < m_States.size() && m_States[size_t(nRule)].bActive;
}

bool Engine::anyActive() const
{
    for (const State& st : m_States) {
        if (st.bActive)
            return true;
    }
    return false;
}

} // namespace Alarm
