// RSTestScheduler: a scheduler in virtual time, stepped by hand. Dates only
// order the actions; time never moves by itself. Blocks scheduled with
// schedule() run in the order they were scheduled, before any action dated at
// a real time; actions with equal dates run in the order they were added.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "reactive/RSScheduler.h"

class RSTestSchedulerAction;
using RSTestSchedulerActionPtr = std::shared_ptr<RSTestSchedulerAction>;

class RSTestSchedulerAction {
public:
  RSTestSchedulerAction(RSDate date, RSScheduler::Block block);

  RSDate date() const { return date_; }
  const RSScheduler::Block& block() const { return block_; }
  const RSDisposablePtr& disposable() const { return disposable_; }
  std::string description() const;

private:
  const RSDate date_;
  const RSScheduler::Block block_;
  const RSDisposablePtr disposable_;
};

class RSTestScheduler : public RSScheduler {
public:
  RSTestScheduler();
  // Runs every pending action first.
  ~RSTestScheduler() override;

  RSDisposablePtr schedule(Block block) override;
  RSDisposablePtr after(RSDate date, Block block) override;
  // Each run schedules the next one an interval later; disposing the result
  // stops the chain.
  RSDisposablePtr after(RSDate date, RSTimeInterval interval, RSTimeInterval leeway, Block block) override;

  // Runs the earliest action (a disposed one is skipped but counts as a step).
  void step();
  void step(uint64_t ticks);
  void stepAll();

  // Pending actions, earliest first.
  std::vector<RSTestSchedulerActionPtr> scheduledActions() const;
  uint64_t numberOfDirectlyScheduledBlocks() const;
  void setNumberOfDirectlyScheduledBlocks(uint64_t count);

private:
  struct Entry {
    RSTestSchedulerActionPtr action;
    uint64_t sequence;
  };
  struct Later {
    bool operator()(const Entry& a, const Entry& b) const;
  };

  void addActionLocked(const RSTestSchedulerActionPtr& action);

  mutable std::recursive_mutex mutex_;
  std::vector<Entry> heap_;
  uint64_t nextSequence_ = 0;
  uint64_t numberOfDirectlyScheduledBlocks_ = 0;
};
