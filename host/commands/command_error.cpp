#include "host/commands/command_error.h"

#include <exception>
#include <new>

#include "host/commands/command.h"
#include "host/loading/module_session.h"
#include "host/render/render_error.h"
#include "host/scene/scene_error.h"

namespace tmhost {

int exit_code_of(ErrorKind kind) {
    return kind == ErrorKind::output_lost ? EXIT_FAULT : EXIT_USAGE;
}

Failure failure_in_flight() {
    try {
        throw;
    } catch (const CommandError& error) {
        return {error.kind(), error.what()};
    } catch (const RenderError& error) {
        return {ErrorKind::usage, error.what()};
    } catch (const SceneError& error) {
        return {ErrorKind::input, error.what()};
    } catch (const ModuleError& error) {
        return {ErrorKind::module, error.what()};
    } catch (const std::bad_alloc& error) {
        return {ErrorKind::out_of_memory, error.what()};
    } catch (const std::exception& error) {
        return {ErrorKind::unexpected, error.what()};
    }
}

}  // namespace tmhost
