#include "platform/cloudkit/postgres/PgBackend.h"

// What the program finds by name after opening the module (see ServerBackend.cpp).
extern "C" wv::ck::Backend* wovanu_postgres_backend(const char* connectionString,
                                                    const char* containerIdentifier) {
    return new wv::ck::PgBackend(connectionString, containerIdentifier);
}
