// Remote names and user names as records hold them, and mount-table sources turned back into remote names.
#include "FuzzCheck.h"
#include "platform/SmbShare.h"

namespace {

bool reachesNoFurther(const QString& name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') && !name.contains(u'\\');
}

bool hasControlCharacters(const QString& text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const QString text = QString::fromUtf8(Fuzz::bytes(data, size));

    if (const std::optional<SmbShare> share = SmbShare::fromRemoteName(text)) {
        // Each name is one step below the one before it: none climbs out of the share or holds a separator.
        Fuzz::require(reachesNoFurther(share->server) && reachesNoFurther(share->share), "server and share are names");
        Fuzz::require(std::all_of(share->folders.cbegin(), share->folders.cend(), reachesNoFurther),
                      "each folder is one step");
        // A drive's mount-table entry names the share it was connected to.
        const std::optional<SmbShare> mounted = SmbShare::fromRemoteName(remoteNameFromSource(share->deviceName()));
        Fuzz::require(mounted.has_value(), "a device name parses back");
        Fuzz::require(mounted->server == share->server && mounted->share == share->share
                          && mounted->folders == share->folders,
                      "a device name parses back to the same share");
    }

    // Both parts go into rclone's configuration, where a control character or "%(" would change its meaning.
    if (const std::optional<SmbUser> user = SmbUser::fromUserName(text)) {
        Fuzz::require(!user->domain.contains(u'\\'), "a domain ends at the first backslash");
        for (const QString& part : {user->domain, user->user})
            Fuzz::require(!hasControlCharacters(part) && !part.contains(u"%("), "a user name is plain text");
    }
    return 0;
}
