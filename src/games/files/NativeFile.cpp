#include "NativeFile.h"

bool isSameFile(const FileLook& kept, const FileLook& now)
{
    return kept.stamp.device == now.stamp.device && kept.stamp.inode == now.stamp.inode
           && kept.ordinary == now.ordinary && kept.access == now.access
           && kept.stamp.changedSeconds == now.stamp.changedSeconds
           && kept.stamp.changedNanoseconds == now.stamp.changedNanoseconds;
}
