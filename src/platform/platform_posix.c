/* The portable build: the project's own version-resource reader. */
#include <string.h>

#include "../fileinfo/version_resource.h"
#include "platform.h"

int OpenVersionApi(VersionApi *api)
{
    memset(api, 0, sizeof *api);
    api->GetSize = ReadVersionInfoSize;
    api->GetInfo = ReadVersionInfo;
    api->Query = QueryVersionValue;
    return 1;
}

void CloseVersionApi(VersionApi *api)
{
    memset(api, 0, sizeof *api);
}
