// chipctl conformance: the checks of conformance_checks.h on the device found,
// with its calls recorded (to --record FILE too when given).
#include "tools/chipctl/arguments.h"
#include "tools/chipctl/commands.h"
#include "tools/chipctl/conformance_checks.h"
#include "tools/chipctl/console_io.h"
#include "tools/chipctl/device_session.h"

namespace chipctl {

int RunConformance(const WantedName& name, const Words& words) {
    Arguments args(words, {}, {L"--record"});
    args.ExpectWords(0, 0, L"no argument besides --record FILE");
    if (!args.Ok()) {
        return args.Refuse();
    }
    if (const std::wstring* file = args.Option(L"--record")) {
        RecordCallsTo(*file);
    }
    DeviceSession session(name);
    CallRecorder& calls = session.RecordCalls();
    if (const int failed = session.Bind()) {
        Out(L"FAIL bind: the device's driver interface could not be bound\n");
        return failed;
    }
    const ConformanceCounts counts = RunConformanceChecks(session.Device(), calls, Out);
    return counts.failed ? kDeviceFailure : kSuccess;
}

}  // namespace chipctl
