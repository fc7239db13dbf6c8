#pragma once
// The scripts the engine runs in pages, from scripts/*.js, compiled into the
// program by the build (embed_scripts.cmake): one text per file, named after it.
namespace quendrel::engine::scripts {

extern const char settle_reporter[];
extern const char settle_watcher[];
extern const char fixed_elements[];
// A function of the rules and the pass (see consent_dialogs.h), and the rules.
extern const char consent[];
extern const char consent_rules[];

}  // namespace quendrel::engine::scripts
