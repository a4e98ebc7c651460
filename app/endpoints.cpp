#include "app/endpoints.h"

Endpoints Endpoints::builtIn() {
    return {UPGRADER_PROBE_HOST, UPGRADER_NOTICE_HOST, UPGRADER_RELEASE_HOST,
            UPGRADER_PACKAGE_HOST};
}
