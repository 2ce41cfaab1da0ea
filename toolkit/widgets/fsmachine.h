#pragma once
// A small finite-state machine over a state and an event enumeration. Firing
// an event that leads somewhere runs the exit action (machine still in the
// old state), moves, then runs the entry action (machine in the new state);
// each action gets a copy of the machine. An event with no transition from
// the current state is dropped. Until SetState names a known state the
// machine has no state, and Fire does nothing.

#include <map>
#include <optional>

template <typename State, typename Event>
class fsmachine {
public:
    fsmachine() = default;
    fsmachine(const fsmachine&) = default;
    fsmachine& operator=(const fsmachine&) = default;
    virtual ~fsmachine() = default;

    // False, changing nothing, for a state already known.
    bool AddState(State state) { return m_table.try_emplace(state).second; }

    // Ignored for a state that is not known.
    void SetState(State state)
    {
        if (m_table.contains(state)) m_current = state;
    }

    // Refused for a move to the same state, an unknown state, or an event that already leads somewhere.
    void AddTransition(State from, Event event, State to)
    {
        if (from == to || !m_table.contains(to)) return;
        auto found = m_table.find(from);
        if (found == m_table.end()) return;
        found->second.try_emplace(event, to);
    }

    template <typename Entry, typename Exit>
    void Fire(Event event, Entry&& entry, Exit&& exit)
    {
        if (!m_current) return;
        auto state = m_table.find(*m_current);
        if (state == m_table.end()) return;
        auto move = state->second.find(event);
        if (move == state->second.end()) return;
        exit(fsmachine(*this));
        m_current = move->second;
        entry(fsmachine(*this));
    }

    // Empty until a state is set.
    std::optional<State> CurrentState() const { return m_current; }

private:
    std::map<State, std::map<Event, State>> m_table;
    std::optional<State> m_current;
};
