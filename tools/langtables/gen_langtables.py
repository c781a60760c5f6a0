#!/usr/bin/env python3
"""Writes resources/Lang_EN.xml and resources/Lang_CN.xml from one table of texts.

Each entry is (key, English text, Chinese text). The program looks texts up by the
English key, so keys must never change once code uses them; edit the display texts
here and re-run this script instead of editing the XML by hand.

    python3 tools/langtables/gen_langtables.py           # rewrite both tables
    python3 tools/langtables/gen_langtables.py --check   # fail if they are out of date

The files are UTF-8 with a byte-order mark and CRLF line ends, one empty <item> per
line, which is the form the loader and the installed tables have always had.
"""

import os
import sys

# None as the Chinese text keeps the key out of the Chinese table.
TEXTS = [
    ("About", "About", "关于"),
    ("Above(Avg Temper)", "Above(Avg Temper)", "高于平均温度"),
    ("Above(Max Temper)", "Above(Max Temper)", "高于最高温度"),
    ("Above(Min Temper)", "Above(Min Temper)", "高于最低温度"),
    ("Add", "Add", "添加"),
    ("Add to workset", "Add to workset", "添加到工作集"),
    ("Adding the selected materials to the work set succeeded",
     "Adding the selected materials to the work set succeeded", "所选素材已成功添加到工作集"),
    ("AlarmAudio", "Alarm Audio", "报警音频"),
    ("AlarmDuration", "Alarm Duration", "报警时长"),
    ("AlarmRecord", "Alarm Record", "报警录像"),
    ("AlarmSnapshot", "Alarm Snapshot", "报警抓拍"),
    ("Alarm Threshold", "Alarm Threshold", "报警阈值"),
    ("Alarm Type", "Alarm Type", "报警类型"),
    ("Alarm has occurred, manual recording stop",
     "An alarm is triggered, and manual recording stops.", "发生报警，手动录像已停止。"),
    ("Alarm recording in progress, unable to manually record",
     "Alarm recording is in progress, and you cannot record video manually.", "正在报警录像，无法手动录像。"),
    ("AllLabel", "All Labels", "全部标签"),
    ("AllMaterial", "All Materials", "全部素材"),
    ("AllRemark", "All Remarks", "全部备注"),
    ("Alumina (0.55)", "Alumina (0.55)", "氧化铝 (0.55)"),
    ("Amber", "Amber", "琥珀"),
    ("Analyse", "Analyse", "分析"),
    ("Are you sure to clear recycle bin?", "Are you sure to clear recycle bin?", "确定要清空回收站吗？"),
    ("Are you sure to delete complete this material?", "Are you sure to delete complete this material?",
     "确定要彻底删除此素材吗？"),
    ("Are you sure to delete this material?", "Are you sure to delete this material?", "确定要删除此素材吗？"),
    ("Are you sure to delete this material set?", "Are you sure to delete this material set?",
     "确定要删除此素材集吗？"),
    ("Are you sure to remove from workset?", "Are you sure to remove from workset?", "确定要从工作集中移除吗？"),
    ("AudioFile", "Audio File", "音频文件"),
    ("Author", "Author", "作者"),
    ("Avg", "Avg", None),
    ("AVG Temp", "AVG Temp", "平均温度"),
    ("BasicInfo", "Basic Info", "基本信息"),
    ("BasicTemperParam", "Basic Temperature Parameters", "基本测温参数"),
    ("Below(Avg Temper)", "Below(Avg Temper)", "低于平均温度"),
    ("Below(Max Temper)", "Below(Max Temper)", "低于最高温度"),
    ("Below(Min Temper)", "Below(Min Temper)", "低于最低温度"),
    ("Beton (0.92)", "Concrete (0.92)", "混凝土 (0.92)"),
    ("Black Hot", "Black Hot", "黑热"),
    ("Blue", "Blue", "蓝色"),
    ("Brass (0.22)", "Brass (0.22)", "黄铜 (0.22)"),
    ("Brass-OX (0.61)", "Brass-OX (0.61)", "氧化黄铜 (0.61)"),
    ("Cancel", "Cancel", "取消"),
    ("Can not add more material", "Can not add more material", "无法添加更多素材"),
    ("Cannot be empty", "Cannot be empty", "不能为空"),
    ("CaptureTime", "Capture Time", "拍摄时间"),
    ("Carbon1 (0.95)", "Carbon1 (0.95)", "碳1 (0.95)"),
    ("Carbon2 (0.95)", "Carbon2 (0.95)", "碳2 (0.95)"),
    ("Carbon3 (0.98)", "Carbon3 (0.98)", "碳3 (0.98)"),
    ("Centigrade", "℃", "摄氏度 ℃"),
    ("Ceram1 (0.90)", "Ceram1 (0.90)", "陶瓷1 (0.90)"),
    ("Ceram2 (0.93)", "Ceram2 (0.93)", "陶瓷2 (0.93)"),
    ("Clear", "Clear", "清空"),
    ("Complete", "Complete", "完成"),
    ("Copper (0.78)", "Copper (0.78)", "铜 (0.78)"),
    ("CoverPage", "Cover Page", "封面"),
    ("Date", "Date", "日期"),
    ("Day", "Day", "日"),
    ("Delete", "Delete", "删除"),
    ("Delete Complete", "Delete Complete", "彻底删除"),
    ("Delete Rule", "Delete Rule", "删除规则"),
    ("Device:", "Device:", "设备："),
    # Prompts 2 to 4 start with their two-character number: the unplug notice strips it.
    ("Device connect fail prompt1", "Connection lost, please check:", "连接已断开，请检查："),
    ("Device connect fail prompt2", "1.Whether the data cable is properly connected.", "1.数据线是否连接正常。"),
    ("Device connect fail prompt3",
     "2.After connection, it takes about 7 seconds for the device communication preparation. "
     "Please try again later.",
     "2.连接后设备通信准备约需7秒，请稍后重试。"),
    ("Device connect fail prompt4", "3.If the problem persists, unplug the device, plug it in again and retry.",
     "3.若问题仍然存在，请重新插拔设备后重试。"),
    ("Reconnection success", "Reconnection success", "重新连接成功"),
    ("Reconnection failed", "Reconnection failed", "重新连接失败"),
    ("Disabled", "Disabled", "禁用"),
    ("DiskFreeSpace Not Enough", "Low disk space.", "磁盘空间不足。"),
    ("DisplayData", "Display Data", "显示数据"),
    ("Distance", "Distance", "距离"),
    ("DistanceUnit", "Distance Unit", "距离单位"),
    ("Edge Enhancement", "Edge Enhancement", "边缘增强"),
    ("Emerald", "Emerald", "翡翠"),
    ("Emissivity", "Emissivity", "发射率"),
    ("Enable", "Enable", "启用"),
    ("EnvironmentTemper", "Ambient Temperature", "环境温度"),
    ("Export failed", "Export failed", "导出失败"),
    ("ExportReport", "Export Report", "导出报告"),
    ("Export successful", "Export successful", "导出成功"),
    ("Fahrenheit", "℉", "华氏度 ℉"),
    ("Feet", "Feet", "英尺"),
    ("Fifth-day", "Fifth Day", "第五日"),
    ("FileName", "File Name", "文件名"),
    ("Format", "Format", "格式"),
    ("Fusion", "Fusion", "融合"),
    ("Global Param", "Global Parameters", "全局参数"),
    ("Golden-fall", "Golden Fall", "金秋"),
    ("Help", "Help", "帮助"),
    ("Humidity", "Humidity", "湿度"),
    ("Ice fire", "Ice Fire", "冰火"),
    ("ImageAnaly", "Image Analysis", "图像分析"),
    ("Image Fusion", "Image Fusion", "图像融合"),
    ("Imperial", "Imperial", "英制"),
    ("Import", "Import", "导入"),
    ("Iron-Cast (0.21)", "Iron-Cast (0.21)", "铸铁 (0.21)"),
    ("Iron-Cast-OX (0.64)", "Iron-Cast-OX (0.64)", "氧化铸铁 (0.64)"),
    ("Iron-OX (0.74)", "Iron-OX (0.74)", "氧化铁 (0.74)"),
    ("Iron Red", "Iron Red", "铁红"),
    ("Iron-Rust (0.65)", "Iron-Rust (0.65)", "锈铁 (0.65)"),
    ("Jade", "Jade", "碧玉"),
    ("Kelvin", "Kelvin", "开尔文"),
    ("Kickel (0.37)", "Nickel (0.37)", "镍 (0.37)"),
    ("Label", "Label", "标签"),
    ("Language", "Language", "语言"),
    ("LanguageCn", "Chinese", "中文"),
    ("LanguageEn", "English", "英文"),
    ("Language switch succeeded.Client will restart automatically.",
     "Language switch succeeded. Client will restart automatically.", "语言切换成功，客户端将自动重启。"),
    ("LeftTop", "Top Left", "左上"),
    ("LogoNote", "Logo Note", "徽标说明"),
    ("Loops", "Loops", "循环次数"),
    ("Manual Connect", "Manual Connect", "手动连接"),
    ("Manual Record Path", "Manual Record Path", "手动录像路径"),
    ("Manual Snapshot Path", "Manual Snapshot Path", "手动抓拍路径"),
    ("Material %1 has been added", "Material %1 has been added", "素材%1已添加"),
    ("Material Already Exists", "Material Already Exists", "素材已存在"),
    ("MaterialManage", "Material Management", "素材管理"),
    ("MaterialSet", "Material Set", "素材集"),
    ("MaterialSet Already Exists", "Material set already exists", "素材集已存在"),
    ("MaterialSet Too Many", "Too many material sets", "素材集数量过多"),
    # The title bar's window buttons; the English table carries these two keys twice.
    ("Max", "Maximize", "最大化"),
    ("Max Temp", "Max Temp", "最高温度"),
    ("Meter", "Meter", "米"),
    ("Metric", "Metric", "公制"),
    ("Min", "Minimize", "最小化"),
    ("Min Temp", "Min Temp", "最低温度"),
    ("Month", "Month", "月"),
    ("Move To", "Move To", "移动到"),
    ("Name", "Name", "名称"),
    ("NextStep", "Next", "下一步"),
    ("Non-alumina (0.20)", "Non-alumina (0.20)", "非氧化铝 (0.20)"),
    ("None", "None", "无"),
    ("NoRemark", "No Remark", "无备注"),
    ("NotShow", "Not Shown", "不显示"),
    ("Oil-Paint", "Oil Paint", "油画"),
    ("OK", "OK", "确定"),
    ("Open Folder", "Open Folder", "打开文件夹"),
    ("Opening user manual failed.", "Opening user manual failed.", "打开用户手册失败。"),
    ("Open Source License", "Open Source License", "开源许可证"),
    ("Open The Folder", "Open The Folder", "打开所在文件夹"),
    ("Optical", "Optical", "可见光"),
    ("OpticalImageRes", "Optical Image Resolution", "可见光图像分辨率"),
    ("Paint (0.94)", "Paint (0.94)", "油漆 (0.94)"),
    ("Paint-Black (0.97)", "Paint-Black (0.97)", "黑漆 (0.97)"),
    ("Paint-White (0.92)", "Paint-White (0.92)", "白漆 (0.92)"),
    ("Paper (0.93)", "Paper (0.93)", "纸 (0.93)"),
    ("ParamSettings", "Parameter Settings", "参数设置"),
    ("Path open failed", "Failed to open the path.", "打开路径失败。"),
    ("PathSet", "Path", "路径设置"),
    ("PictureAdd", "Add Picture", "添加图片"),
    ("Picture in Picture", "Picture in Picture", "画中画"),
    ("Picture size should be smaller than 1M.", "Picture size should be smaller than 1M.", "图片大小应小于1M。"),
    ("PleaseInput", "Please enter", "请输入"),
    ("Pomegranate", "Pomegranate", "石榴红"),
    ("PrevStep", "Previous", "上一步"),
    ("Reclaim", "Reclaim", "回收站"),
    ("Record", "Record", "录像"),
    ("Recording Failed", "Failed to record.", "录像失败。"),
    ("Recording Finished", "Recording completed.", "录像已完成。"),
    ("Recording Start", "Start Recording", "开始录像"),
    ("Record Path Not Exit", "The record path does not exist.", "录像路径不存在。"),
    ("Red", "Red", "红色"),
    ("ReflexTemper", "Reflected Temperature", "反射温度"),
    ("Rename", "Rename", "重命名"),
    ("ReportContents", "Report Contents", "报告内容"),
    ("ReportTime", "Report Time", "报告时间"),
    ("ReportTitle", "Report Title", "报告标题"),
    ("Restore To", "Restore To", "还原到"),
    ("Rule Enable", "Rule Enable", "启用规则"),
    ("Rule Param", "Rule Parameters", "规则参数"),
    ("Rule Property", "Rule Property", "规则属性"),
    ("Sand (0.90)", "Sand (0.90)", "沙子 (0.90)"),
    ("Save failed", "Save failed", "保存失败"),
    ("SavePath", "Save Path", "保存路径"),
    ("Save succeed", "Save succeed", "保存成功"),
    ("SelectAll", "Select All", "全选"),
    ("Select material to upload", "Select material to upload", "选择要上传的素材"),
    ("Setting Changed!", "Setting Changed!", "设置已更改！"),
    ("Settings", "Settings", "设置"),
    ("Show with rules", "Show with rules", "带规则显示"),
    ("Skin (0.80)", "Skin (0.80)", "皮肤 (0.80)"),
    ("Snapshot", "Snapshot", "抓拍"),
    ("Snapshot Failed", "Snapshot failed.", "抓拍失败。"),
    ("SnapshotNum", "Snapshot Count", "抓拍数量"),
    ("Snapshot Path Not Exit", "The snapshot path does not exist.", "抓拍路径不存在。"),
    ("Snapshot Succeed", "Captured image successfully.", "抓拍成功。"),
    ("Steel (0.79)", "Steel (0.79)", "钢 (0.79)"),
    ("Steel-OX (0.85)", "Steel-OX (0.85)", "氧化钢 (0.85)"),
    ("Sunset", "Sunset", "日落"),
    ("Temperature distribution is displayed in pixels.", "Temperature distribution is displayed in pixels.",
     "温度分布以像素为单位显示。"),
    ("TemperDistribute", "Temperature Distribution", "温度分布"),
    ("TemperInfo", "Temperature Info", "温度信息"),
    ("TemperRange", "Temperature Range", "温度范围"),
    ("TemperRangeAdjust", "Temperature Range Adjustment", "温度范围调节"),
    ("TemperRule", "Temperature Rule", "测温规则"),
    ("TemperShow", "Temperature Display", "温度显示"),
    ("TemperUnit", "Temperature Unit", "温度单位"),
    ("TestReport", "Test Report", "检测报告"),
    ("TextNote", "Text Note", "文字注释"),
    ("The file already exist,Replace it", "The file already exist,Replace it", "文件已存在，是否替换？"),
    ("ThermalImage", "Thermal Image", "热图像"),
    ("ThermalImageRes", "Thermal Image Resolution", "热图像分辨率"),
    ("The selected material exceeds the recycle bin limit", "The selected material exceeds the recycle bin limit",
     "所选素材超出回收站容量上限"),
    ("TimeAsc", "Time Ascending", "时间升序"),
    ("TimeDesc", "Time Descending", "时间降序"),
    ("UnitSet", "Unit", "单位设置"),
    ("Unknown Error", "Unknown error.", "未知错误。"),
    ("UploadFile", "Upload File", "上传文件"),
    ("UserManual", "User Manual", "用户手册"),
    ("Version", "Version", "版本"),
    ("VideoPreview", "Video Preview", "视频预览"),
    ("Water (0.96)", "Water (0.96)", "水 (0.96)"),
    ("White Hot", "White Hot", "白热"),
    ("WithRemark", "With Remark", "有备注"),
    ("Workset material limit is 16,please check again.", "Workset material limit is 16,please check again.",
     "工作集素材上限为16个，请重新检查。"),
    ("Year", "Year", "年"),
    ("Yellow", "Yellow", "黄色"),
    ("Update", "Upgrade", "升级"),
    ("UpdateFilePath", "Select Firmware File", "选择固件文件"),
    ("UpdateFileInfo", "Firmware File Info", "固件文件信息"),
    ("UpdateProgress", "Upgrade Progress", "升级进度"),
    ("DeviceInfo", "Version", "版本信息"),
    ("DevicePart", "Device Type", "设备型号"),
    ("DeviceResolution", "Device Resolution", "设备分辨率"),
    ("DeviceSN", "S/N", "序列号"),
    ("SoftwareVersion", "System Version", "系统版本"),
    ("Restart Device", "Manual Reboot", "手动重启"),
    ("Restart", "Reboot", "重启"),
    ("Repower the device?", "Are you sure to reboot?", "确定要重启设备吗？"),
    ("Device has rebooted, reconnecting the device, please wait.",
     "Device has rebooted, reconnecting the device, please wait.", "设备已重启，正在重新连接设备，请稍候。"),
    ("Device is not connect.", "Device is not connect.", "设备未连接"),
    ("PseudoColor", "Pseudo Color", "伪彩"),
    ("WhiteHot", "White Hot", "白热"),
    ("BlackHot", "Black Hot", "黑热"),
    ("IronRed", "Iron Red", "铁红"),
    ("Rainbow", "Rainbow", "彩虹"),
    ("ImageRectification", "Image Correction", "图像校正"),
    ("Sharpening", "Sharpening", "锐化"),
    ("SuperRes", "Super Resolution", "超分辨率"),
    ("ImageRotation", "Image Flip", "图像翻转"),
    ("HotPoint", "Hot Spot", "热点追踪"),
    ("BadPixelChoose", "Bad pixel correct", "坏点校正"),
    ("Standby", "Standby", "待机"),
    ("Start Device", "Start Device", "启动设备"),
    ("Current Status", "Current Status", "当前状态"),
    ("Disconnect", "Disconnect", "断开连接"),
    ("Connect Device", "Connect Device", "连接设备"),
    ("Number", "Number", "序号"),
    ("BadPixelCoordinate", "Bad pixel", "坏点"),
    ("BadPixelColCoordinate", "Bad column", "坏列"),
    ("AddBP", "Add bad pixel", "添加坏点"),
    ("DeleteBP", "Delete bad pixel", "删除坏点"),
    ("DeleteAllBP", "Delete all bad pixel", "删除全部坏点"),
    ("AddBPCol", "Add bad column", "添加坏列"),
    ("DeleteBPCol", "Delete bad column", "删除坏列"),
    ("DeleteAllBPCol", "Delete all bad column", "删除全部坏列"),
    ("The bad pixel is set", "The bad pixel is set", "该坏点已设置"),
    ("The bad column is set", "The bad column is set", "该坏列已设置"),
    ("There are adjacent bad columns", "There are adjacent bad columns", "存在相邻的坏列"),
    ("Failed to get Bad Pixels", "Failed to get Bad Pixels.", "获取坏点失败。"),
    ("Failed to get Bad Columns", "Failed to get Bad Columns.", "获取坏列失败。"),
    ("Upgrading, please wait...", "Upgrading, please wait...", "正在升级，请稍候..."),
    ("Writing,please wait....", "Writing,please wait....", "正在写入，请稍候...."),
    ("Upgrade success!", "Upgrade success!", "升级成功！"),
    ("Upgrade Fail.", "Upgrade Fail.", "升级失败。"),
    ("Save", "Save", "保存"),
    ("Device is sleeping, please turn off sleep mode", "Device is sleeping, please turn off sleep mode",
     "设备处于休眠状态，请先关闭休眠模式"),
    ("AutoResize", "Auto Resize", "自适应大小"),
    ("Operate succeed", "Operate succeed", "操作成功"),
    ("Operate failed", "Operate failed", "操作失败"),
    ("Default", "Default", "恢复默认"),
    ("Close", "Close", "关闭"),
    ("Zoom", "Zoom", "缩放"),
    ("ImageFreeze", "Freeze", "画面冻结"),
    ("Snapshot Path Too Long", "Snapshot path too long", "抓拍路径过长"),
    ("Record Path Too Long", "Record path too long", "录像路径过长"),
    ("OpenFolder", "Open folder", "打开文件夹"),
    ("Please select a .bin file to upgrade.", "Please select a .bin file to upgrade.", "请选择用于升级的 .bin 文件。"),
    ("Fail to start sleep mode.", "Fail to open sleep mode.", "开启休眠模式失败。"),
    ("Connecting Device, please wait.", "Connecting Device, please wait.", "正在连接设备，请稍候。"),
    ("Please operate with the accompaniment of a professional.", "Please be accompanied by a professional.",
     "请在专业人员陪同下操作。"),
    ("Device is upgrading.", "Device is upgrading.", "设备正在升级。"),
    ("Device is recording.", "Device is recording.", "设备正在录像。"),
    ("Failed to get.", "Failed to get.", "获取失败。"),
    ("Video is freezing.", "Video is freezing.", "画面已冻结。"),
    ("Best clarity", "Best clarity", "最佳清晰度"),
    ("Current clarity", "Current clarity", "当前清晰度"),
    ("Upgrading, unable to switch interface.", "The interface cannot be switched during the upgrade",
     "正在升级，无法切换界面。"),
    ("Upgrading, unable to shut down client.", "Upgrading, unable to shut down client.", "正在升级，无法关闭客户端。"),
    ("The upgrade is complete, the device is disconnected, please reconnect",
     "The upgrade is complete, the device is disconnected, please reconnect.", "升级完成，设备已断开，请重新连接。"),
    ("File verification error.", "File verification error.", "文件校验错误。"),
    ("File open error.", "File open error.", "文件打开错误。"),
    ("Please confirm whether to disconnect device?", "Please confirm whether to disconnect device?",
     "确定要断开设备连接吗？"),
    ("Temperature mode", "Temperature mode", "测温模式"),
    ("Auto", "Auto", "自动"),
    ("High temperature", "High temperature", "高温"),
    ("Low temperature", "Low temperature", "低温"),
    ("Please Wait", "Please Wait", "请稍候"),
    ("Low temperature First Gear", "Low temperature First Gear", "低温一档"),
    ("Low temperature Second Gear", "Low temperature Second Gear", "低温二档"),
    ("Failed to get low temp gear", "Failed to get low temp gear", "获取低温档位失败"),
]

# Keys written a second time at the end of a table, as the installed tables have them.
# The repeat carries the same text, so which occurrence wins does not matter.
REPEATED = {
    "EN": ["Max", "Min"],
    "CN": ["There are adjacent bad columns"],
}

# What each table holds before the texts added below: (items, distinct keys).
EXPECTED_COUNTS = {"EN": (302, 300), "CN": (300, 299)}

# Texts this client added after the tables above were fixed. They go after every existing
# item of both tables, in this order, with keys the tables did not use before; add new ones
# at the end of this list.
ADDED_TEXTS = [
    ("Simulated camera", "Simulated camera", "模拟相机"),
    ("Replay", "Replay", "回放"),
    ("stream only: camera commands unavailable", "stream only: camera commands unavailable",
     "仅视频流：相机命令不可用"),
    ("The camera could not be opened:", "The camera could not be opened:", "无法打开相机："),
    ("The camera setting cannot be used:", "The camera setting cannot be used:", "相机设置无法使用："),
    ("MorePalettes", "More palettes", "更多伪彩"),
    ("ColdPoint", "Cold spot", "冷点"),
    ("MeasurePoint", "Add point", "添加点"),
    ("MeasureLine", "Add line", "添加线"),
    ("MeasureRect", "Add rectangle", "添加矩形"),
    ("Alarm Source", "Source", "监测对象"),
    ("AlarmSourceScene", "Whole scene", "全画面"),
    ("Hold Time", "Hold time", "保持时间"),
    ("AlarmNotify", "Desktop notice", "桌面通知"),
    ("Alarm Log", "Alarm log", "报警记录"),
    ("AlarmStart", "Alarm start", "报警开始"),
    ("AlarmEnd", "Alarm end", "报警结束"),
    ("ExportTrend", "Export trend (CSV)", "导出趋势(CSV)"),
    ("AlarmRaised", "Alarm:", "报警："),
]


def escape_attr(text):
    return (text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            .replace('"', "&quot;"))


def table_items(lang):
    column = 1 if lang == "EN" else 2
    items = [(key, texts[column - 1]) for key, *texts in TEXTS if texts[column - 1] is not None]
    lookup = dict(items)
    items += [(key, lookup[key]) for key in REPEATED[lang]]
    return items


def added_items(lang):
    column = 1 if lang == "EN" else 2
    return [(key, texts[column - 1]) for key, *texts in ADDED_TEXTS]


def check_items(lang, items):
    keys = [key for key, _ in items]
    counts = (len(items), len(set(keys)))
    if counts != EXPECTED_COUNTS[lang]:
        raise SystemExit(f"{lang}: {counts[0]} items / {counts[1]} keys, expected {EXPECTED_COUNTS[lang]}")
    for key, value in items:
        if not key or not value:
            raise SystemExit(f"{lang}: empty key or text for {key!r}")


def render(items):
    lines = ['<?xml version="1.0" encoding="UTF-8"?>', "<Strings>"]
    lines += [f'<item name="{escape_attr(k)}" value="{escape_attr(v)}"/>' for k, v in items]
    lines.append("</Strings>")
    return b"\xef\xbb\xbf" + "".join(line + "\r\n" for line in lines).encode("utf-8")


def main(argv):
    check_only = "--check" in argv[1:]
    keys = [key for key, _, _ in TEXTS + ADDED_TEXTS]
    if len(keys) != len(set(keys)):
        raise SystemExit("a key is listed twice in TEXTS or ADDED_TEXTS")
    resources = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources")
    stale = []
    for lang in ("EN", "CN"):
        items = table_items(lang)
        check_items(lang, items)
        added = added_items(lang)
        for key, value in added:
            if not key or not value:
                raise SystemExit(f"{lang}: empty key or text for {key!r}")
        items += added
        data = render(items)
        path = os.path.normpath(os.path.join(resources, f"Lang_{lang}.xml"))
        if check_only:
            with open(path, "rb") as f:
                if f.read() != data:
                    stale.append(path)
        else:
            with open(path, "wb") as f:
                f.write(data)
            print(f"{path}: {len(items)} items")
    if stale:
        print("out of date: " + ", ".join(stale), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
