<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CaptureReader</name>
    <message>
        <source>无法打开文件：%1</source>
        <translation>Cannot open the file: %1</translation>
    </message>
    <message>
        <source>第 1 行：不是捕获文件（应为“%1”）</source>
        <translation>Line 1: not a capture file (expected &quot;%1&quot;)</translation>
    </message>
    <message>
        <source>第 %1 行：读取失败：%2</source>
        <translation>Line %1: read failed: %2</translation>
    </message>
    <message>
        <source>第 %1 行：格式不符，读到此为止</source>
        <translation>Line %1: unexpected format, read up to here</translation>
    </message>
</context>
<context>
    <name>CaptureWriter</name>
    <message>
        <source>无法创建目录 %1</source>
        <translation>Cannot create the folder %1</translation>
    </message>
</context>
<context>
    <name>DoubleWindow</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>接收（F5刷新）：</source>
        <translation>Received (F5 clears):</translation>
    </message>
    <message>
        <source>接收：</source>
        <translation>Received:</translation>
    </message>
    <message>
        <source>关闭双串口</source>
        <translation>Stop relay</translation>
    </message>
    <message>
        <source>串口号：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>打开串口</source>
        <translation>Open port</translation>
    </message>
    <message>
        <source>波特率：</source>
        <translation>Baud rate:</translation>
    </message>
    <message>
        <source>110</source>
        <translation>110</translation>
    </message>
    <message>
        <source>300</source>
        <translation>300</translation>
    </message>
    <message>
        <source>600</source>
        <translation>600</translation>
    </message>
    <message>
        <source>1200</source>
        <translation>1200</translation>
    </message>
    <message>
        <source>2400</source>
        <translation>2400</translation>
    </message>
    <message>
        <source>4800</source>
        <translation>4800</translation>
    </message>
    <message>
        <source>9600</source>
        <translation>9600</translation>
    </message>
    <message>
        <source>19200</source>
        <translation>19200</translation>
    </message>
    <message>
        <source>38400</source>
        <translation>38400</translation>
    </message>
    <message>
        <source>57600</source>
        <translation>57600</translation>
    </message>
    <message>
        <source>115200</source>
        <translation>115200</translation>
    </message>
    <message>
        <source>数据位：</source>
        <translation>Data bits:</translation>
    </message>
    <message>
        <source>5</source>
        <translation>5</translation>
    </message>
    <message>
        <source>6</source>
        <translation>6</translation>
    </message>
    <message>
        <source>7</source>
        <translation>7</translation>
    </message>
    <message>
        <source>8</source>
        <translation>8</translation>
    </message>
    <message>
        <source>停止位：</source>
        <translation>Stop bits:</translation>
    </message>
    <message>
        <source>1</source>
        <translation>1</translation>
    </message>
    <message>
        <source>1.5</source>
        <translation>1.5</translation>
    </message>
    <message>
        <source>2</source>
        <translation>2</translation>
    </message>
    <message>
        <source>校验位：</source>
        <translation>Parity:</translation>
    </message>
    <message>
        <source>None</source>
        <translation>None</translation>
    </message>
    <message>
        <source>Odd</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>Even</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>Space</source>
        <translation>Space</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>初始化</source>
        <translation>Initialise</translation>
    </message>
    <message>
        <source>发送左</source>
        <translation>Send left</translation>
    </message>
    <message>
        <source>发送右</source>
        <translation>Send right</translation>
    </message>
    <message>
        <source>Skybind</source>
        <translation>Skybind</translation>
    </message>
    <message>
        <source>询问产品信息</source>
        <translation>Product info</translation>
    </message>
    <message>
        <source>product_key</source>
        <translation>product_key</translation>
    </message>
    <message>
        <source>3版常用协议</source>
        <translation>Protocol 3 frames</translation>
    </message>
    <message>
        <source>4版常用协议</source>
        <translation>Protocol 4 frames</translation>
    </message>
    <message>
        <source>录制收发的所有字节到文件</source>
        <translation>Record every byte sent and received to a file</translation>
    </message>
    <message>
        <source>录制</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>串口已断开：%1</source>
        <translation>Port lost: %1</translation>
    </message>
    <message>
        <source>关闭串口</source>
        <translation>Close port</translation>
    </message>
    <message>
        <source>串口已重新打开</source>
        <translation>Port reopened</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>（%1 字节未显示）</source>
        <translation>(%1 bytes not shown)</translation>
    </message>
    <message>
        <source>打开双串口</source>
        <translation>Start relay</translation>
    </message>
    <message>
        <source>HEX</source>
        <translation>HEX</translation>
    </message>
    <message>
        <source>文本</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>HEX+文本</source>
        <translation>HEX+Text</translation>
    </message>
    <message>
        <source>接收区的显示方式</source>
        <translation>How the receive area shows the bytes</translation>
    </message>
    <message>
        <source>自动重连</source>
        <translation>Reconnect</translation>
    </message>
    <message>
        <source>串口断开后，设备回来时以相同设置重新打开</source>
        <translation>When the device comes back after the port was lost, open it again with the same settings</translation>
    </message>
    <message>
        <source>重复</source>
        <translation>Repeat</translation>
    </message>
    <message>
        <source>每隔设定的时间重复发送，直到取消或串口关闭</source>
        <translation>Send again at the set interval until switched off or the port closes</translation>
    </message>
    <message>
        <source>重复发送的间隔（毫秒）</source>
        <translation>Interval between repeated sends (milliseconds)</translation>
    </message>
    <message>
        <source> ms</source>
        <translation> ms</translation>
    </message>
    <message>
        <source>发送框按十六进制或按文本（UTF-8，可用 \r \n \t \\ \xNN）发送</source>
        <translation>Send the box as hexadecimal or as text (UTF-8; escapes \r \n \t \\ \xNN)</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>CR</source>
        <translation>CR</translation>
    </message>
    <message>
        <source>LF</source>
        <translation>LF</translation>
    </message>
    <message>
        <source>CR LF</source>
        <translation>CR LF</translation>
    </message>
    <message>
        <source>文本发送时加在末尾的行结束符：无、CR、LF 或 CR LF</source>
        <translation>Line ending added after text: none, CR, LF or CR LF</translation>
    </message>
    <message>
        <source>显示发送</source>
        <translation>Show sent</translation>
    </message>
    <message>
        <source>在接收区中以另一种颜色显示本串口发出的字节</source>
        <translation>Show the bytes sent on this port in the receive area, in another colour</translation>
    </message>
    <message>
        <source>串口未打开，不能重复发送</source>
        <translation>The port is not open: nothing to repeat</translation>
    </message>
    <message>
        <source>波特率无效</source>
        <translation>Invalid baud rate</translation>
    </message>
    <message>
        <source>打开失败！</source>
        <translation>Open failed!</translation>
    </message>
</context>
<context>
    <name>FrameExplainer</name>
    <message>
        <source>（无数据点定义）</source>
        <translation>(no datapoint definition)</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
</context>
<context>
    <name>FrameLog</name>
    <message>
        <source>（%1 字节未显示）</source>
        <translation>(%1 bytes not shown)</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>校验和不符：帧内 %1，计算值 %2</source>
        <translation>Checksum mismatch: frame %1, computed %2</translation>
    </message>
</context>
<context>
    <name>HexInput</name>
    <message>
        <source>“%1”</source>
        <translation>&quot;%1&quot;</translation>
    </message>
    <message>
        <source>十六进制输入有误：第 %1 个字符 %2 不是十六进制数字或分隔符。</source>
        <translation>Invalid hexadecimal input: character %1, %2, is not a hexadecimal digit or separator.</translation>
    </message>
    <message>
        <source>十六进制输入有误：第 %1 个字符起的“%2”有奇数个数字，每个字节要写两位。</source>
        <translation>Invalid hexadecimal input: &quot;%2&quot; at character %1 has an odd number of digits; write two digits per byte.</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>双串口</source>
        <translation>Dual port</translation>
    </message>
    <message>
        <source>模拟V4MCU</source>
        <translation>V4 MCU simulator</translation>
    </message>
    <message>
        <source>小工具</source>
        <translation>Tools</translation>
    </message>
    <message>
        <source>协议监视</source>
        <translation>Protocol monitor</translation>
    </message>
    <message>
        <source>Vok串口调试工具V1.4.3</source>
        <translation>Vok serial tool V1.4.3</translation>
    </message>
</context>
<context>
    <name>McuWindow</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>接收（F5刷新）：</source>
        <translation>Received (F5 clears):</translation>
    </message>
    <message>
        <source>串口号：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>打开串口</source>
        <translation>Open port</translation>
    </message>
    <message>
        <source>波特率：</source>
        <translation>Baud rate:</translation>
    </message>
    <message>
        <source>110</source>
        <translation>110</translation>
    </message>
    <message>
        <source>300</source>
        <translation>300</translation>
    </message>
    <message>
        <source>600</source>
        <translation>600</translation>
    </message>
    <message>
        <source>1200</source>
        <translation>1200</translation>
    </message>
    <message>
        <source>2400</source>
        <translation>2400</translation>
    </message>
    <message>
        <source>4800</source>
        <translation>4800</translation>
    </message>
    <message>
        <source>9600</source>
        <translation>9600</translation>
    </message>
    <message>
        <source>19200</source>
        <translation>19200</translation>
    </message>
    <message>
        <source>38400</source>
        <translation>38400</translation>
    </message>
    <message>
        <source>57600</source>
        <translation>57600</translation>
    </message>
    <message>
        <source>115200</source>
        <translation>115200</translation>
    </message>
    <message>
        <source>数据位：</source>
        <translation>Data bits:</translation>
    </message>
    <message>
        <source>5</source>
        <translation>5</translation>
    </message>
    <message>
        <source>6</source>
        <translation>6</translation>
    </message>
    <message>
        <source>7</source>
        <translation>7</translation>
    </message>
    <message>
        <source>8</source>
        <translation>8</translation>
    </message>
    <message>
        <source>停止位：</source>
        <translation>Stop bits:</translation>
    </message>
    <message>
        <source>1</source>
        <translation>1</translation>
    </message>
    <message>
        <source>1.5</source>
        <translation>1.5</translation>
    </message>
    <message>
        <source>2</source>
        <translation>2</translation>
    </message>
    <message>
        <source>校验位：</source>
        <translation>Parity:</translation>
    </message>
    <message>
        <source>None</source>
        <translation>None</translation>
    </message>
    <message>
        <source>Odd</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>Even</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>Space</source>
        <translation>Space</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>product_key:</source>
        <translation>product_key:</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>更新数据点</source>
        <translation>Update datapoints</translation>
    </message>
    <message>
        <source>配置Skybind</source>
        <translation>Skybind setup</translation>
    </message>
    <message>
        <source>初始化模块</source>
        <translation>Initialise module</translation>
    </message>
    <message>
        <source>上报数据</source>
        <translation>Report status</translation>
    </message>
    <message>
        <source>间隔(s):</source>
        <translation>Interval (s):</translation>
    </message>
    <message>
        <source>定时上报开</source>
        <translation>Timed report on</translation>
    </message>
    <message>
        <source>说明：</source>
        <translation>Description:</translation>
    </message>
    <message>
        <source>长度：</source>
        <translation>Length:</translation>
    </message>
    <message>
        <source>cmd：</source>
        <translation>cmd:</translation>
    </message>
    <message>
        <source>sn：</source>
        <translation>sn:</translation>
    </message>
    <message>
        <source>校验和：</source>
        <translation>Checksum:</translation>
    </message>
    <message>
        <source>计算所得 / 帧内所带的校验和</source>
        <translation>Computed / carried in the frame</translation>
    </message>
    <message>
        <source>color: rgb(220, 0, 0); font-weight: bold;</source>
        <translation>color: rgb(220, 0, 0); font-weight: bold;</translation>
    </message>
    <message>
        <source>配置方式：</source>
        <translation>Setup mode:</translation>
    </message>
    <message>
        <source>大小循环：</source>
        <translation>Connection:</translation>
    </message>
    <message>
        <source>wifi状态：</source>
        <translation>Wi-Fi state:</translation>
    </message>
    <message>
        <source>标识码：</source>
        <translation>Product key:</translation>
    </message>
    <message>
        <source>4版协议都有应答机制，心跳用于判断mcu和wifi模块是否还有通讯。</source>
        <translation>Every protocol 4 request is answered; the heartbeat shows whether the MCU and the Wi-Fi module still talk to each other.</translation>
    </message>
    <message>
        <source>成功配置easylink后，返回FF FF 00 07 0D 02 00 00 00 32 48则表示成功连接上路由器和云端，返回FF FF 00 07 0D 01 00 00 00 12 27则表示连接上路由器，但还没连接上云端</source>
        <translation>After a successful easylink setup, FF FF 00 07 0D 02 00 00 00 32 48 means connected to the router and the cloud; FF FF 00 07 0D 01 00 00 00 12 27 means connected to the router but not yet to the cloud</translation>
    </message>
    <message>
        <source>录制收发的所有字节到文件</source>
        <translation>Record every byte sent and received to a file</translation>
    </message>
    <message>
        <source>录制</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>关闭串口</source>
        <translation>Close port</translation>
    </message>
    <message>
        <source>定时上报关</source>
        <translation>Timed report off</translation>
    </message>
    <message>
        <source>串口已断开：%1</source>
        <translation>Port lost: %1</translation>
    </message>
    <message>
        <source>串口已重新打开</source>
        <translation>Port reopened</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>打开失败！
</source>
        <translation>Could not open the port!
</translation>
    </message>
    <message>
        <source>%1 / 帧内 %2</source>
        <translation>%1 / frame %2</translation>
    </message>
    <message>
        <source>不符</source>
        <translation>Mismatch</translation>
    </message>
    <message>
        <source>帧内校验和 %1 与计算值 %2 不符</source>
        <translation>The frame carries checksum %1, computed %2</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>第一次使用请输入product_key！</source>
        <translation>First use: please enter the product_key!</translation>
    </message>
    <message>
        <source>输入格式错误</source>
        <translation>Invalid input format</translation>
    </message>
    <message>
        <source>失败</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>获取数据点列表失败，请检查product_key是否正确！</source>
        <translation>Could not fetch the datapoint list; please check the product_key!</translation>
    </message>
    <message>
        <source>成功</source>
        <translation>Success</translation>
    </message>
    <message>
        <source>获取数据点列表成功！</source>
        <translation>Datapoint list fetched!</translation>
    </message>
    <message>
        <source>auto_analyze.ini 中的应答模板 %1 不是完整的十六进制字节，未发送：%2</source>
        <translation>Reply template %1 in auto_analyze.ini is not whole hexadecimal bytes and was not sent: %2</translation>
    </message>
</context>
<context>
    <name>MonitorModel</name>
    <message>
        <source>校验和错误</source>
        <translation>bad checksum</translation>
    </message>
    <message>
        <source>长度过短</source>
        <translation>too short</translation>
    </message>
    <message>
        <source>sn与请求不符</source>
        <translation>sn differs from request</translation>
    </message>
    <message>
        <source>无对应请求</source>
        <translation>no matching request</translation>
    </message>
    <message>
        <source>无应答</source>
        <translation>no reply</translation>
    </message>
    <message>
        <source>帧外字节</source>
        <translation>bytes outside frames</translation>
    </message>
    <message>
        <source>应答超时</source>
        <translation>late reply</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>模块→MCU</source>
        <translation>Module→MCU</translation>
    </message>
    <message>
        <source>MCU→模块</source>
        <translation>MCU→Module</translation>
    </message>
    <message>
        <source>错误（应为%1）</source>
        <translation>wrong (should be %1)</translation>
    </message>
    <message>
        <source>正确</source>
        <translation>correct</translation>
    </message>
    <message>
        <source>#%1 超过%2 ms</source>
        <translation>#%1, over %2 ms</translation>
    </message>
    <message>
        <source>#%1，%2 ms</source>
        <translation>#%1, %2 ms</translation>
    </message>
    <message>
        <source>#%1？</source>
        <translation>#%1?</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>方向</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>命令</source>
        <translation>Command</translation>
    </message>
    <message>
        <source>长度</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>校验和</source>
        <translation>Checksum</translation>
    </message>
    <message>
        <source>应答（请求，耗时）</source>
        <translation>Reply (request, time)</translation>
    </message>
    <message>
        <source>问题</source>
        <translation>Problems</translation>
    </message>
    <message>
        <source>解码</source>
        <translation>Decoding</translation>
    </message>
</context>
<context>
    <name>MonitorWindow</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>模块端口：</source>
        <translation>Module port:</translation>
    </message>
    <message>
        <source>命令：</source>
        <translation>Command:</translation>
    </message>
    <message>
        <source>方向：</source>
        <translation>Direction:</translation>
    </message>
    <message>
        <source>全部方向</source>
        <translation>All directions</translation>
    </message>
    <message>
        <source>模块→MCU</source>
        <translation>Module→MCU</translation>
    </message>
    <message>
        <source>MCU→模块</source>
        <translation>MCU→Module</translation>
    </message>
    <message>
        <source>只看问题</source>
        <translation>Problems only</translation>
    </message>
    <message>
        <source>应答超时：</source>
        <translation>Reply timeout:</translation>
    </message>
    <message>
        <source> ms</source>
        <translation> ms</translation>
    </message>
    <message>
        <source>打开捕获文件</source>
        <translation>Open capture file</translation>
    </message>
    <message>
        <source>返回实时</source>
        <translation>Back to live</translation>
    </message>
    <message>
        <source>导出CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>实时：双串口页收到的数据</source>
        <translation>Live: data received on the dual port page</translation>
    </message>
    <message>
        <source>全部命令</source>
        <translation>All commands</translation>
    </message>
    <message>
        <source>COM1（左）</source>
        <translation>COM1 (left)</translation>
    </message>
    <message>
        <source>COM2（右）</source>
        <translation>COM2 (right)</translation>
    </message>
    <message>
        <source>文件 %1：%2 行</source>
        <translation>File %1: %2 rows</translation>
    </message>
    <message>
        <source>（只显示最后 %1 行，前 %2 行未显示）</source>
        <translation> (showing the last %1 rows, %2 earlier rows not shown)</translation>
    </message>
    <message>
        <source>；第三个端口起的 %1 字节未显示</source>
        <translation>; %1 bytes of further ports not shown</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>
已显示此前读到的 %1 行。</source>
        <translation>
Showing the %1 rows read before it.</translation>
    </message>
    <message>
        <source>失败</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>无法写入文件！</source>
        <translation>Cannot write the file!</translation>
    </message>
    <message>
        <source>帧外字节（%1，%2 个）：</source>
        <translation>Bytes outside frames (%1, %2):</translation>
    </message>
    <message>
        <source>请求 #%1 在 %2 ms 内无应答：</source>
        <translation>Request #%1 had no reply within %2 ms:</translation>
    </message>
    <message>
        <source>问题：</source>
        <translation>Problems:</translation>
    </message>
    <message>
        <source>说明：</source>
        <translation>Description:</translation>
    </message>
    <message>
        <source>长度：</source>
        <translation>Length:</translation>
    </message>
    <message>
        <source>cmd：</source>
        <translation>cmd:</translation>
    </message>
    <message>
        <source>sn：</source>
        <translation>sn:</translation>
    </message>
    <message>
        <source>校验和：</source>
        <translation>Checksum:</translation>
    </message>
    <message>
        <source>配置方式：</source>
        <translation>Setup mode:</translation>
    </message>
    <message>
        <source>大小循环：</source>
        <translation>Connection:</translation>
    </message>
    <message>
        <source>wifi状态：</source>
        <translation>Wi-Fi state:</translation>
    </message>
    <message>
        <source>标识码：</source>
        <translation>Product key:</translation>
    </message>
    <message>
        <source>帧：</source>
        <translation>Frame:</translation>
    </message>
    <message>
        <source>数据点：</source>
        <translation>Datapoints:</translation>
    </message>
</context>
<context>
    <name>RecordControl</name>
    <message>
        <source>打开串口时自动录制</source>
        <translation>Record when a port opens</translation>
    </message>
    <message>
        <source>选择录制目录…</source>
        <translation>Choose recording folder…</translation>
    </message>
    <message>
        <source>打开录制目录</source>
        <translation>Open recording folder</translation>
    </message>
    <message>
        <source>录制失败，已停止：%1</source>
        <translation>Recording failed and stopped: %1</translation>
    </message>
    <message>
        <source>录制已停止</source>
        <translation>Recording stopped</translation>
    </message>
    <message>
        <source>录制到 %1</source>
        <translation>Recording to %1</translation>
    </message>
    <message>
        <source>录制目录</source>
        <translation>Recording folder</translation>
    </message>
</context>
<context>
    <name>TextInput</name>
    <message>
        <source>文本输入有误：第 %1 个字符起的“%2”不是可用的转义（可用 \r \n \t \\ \xNN）。</source>
        <translation>Text input error: &quot;%2&quot; at character %1 is not a known escape (use \r \n \t \\ \xNN).</translation>
    </message>
</context>
<context>
    <name>ToolWindow</name>
    <message>
        <source>输入：</source>
        <translation>Input:</translation>
    </message>
    <message>
        <source>计算</source>
        <translation>Calculate</translation>
    </message>
    <message>
        <source>校验和：</source>
        <translation>Checksum:</translation>
    </message>
    <message>
        <source>已忽略 %1 个非十六进制字符，第一个是第 %2 个字符。</source>
        <translation>Ignored %1 non-hexadecimal characters; the first is character %2.</translation>
    </message>
</context>
<context>
    <name>VokAnalyze</name>
    <message>
        <source>不存在</source>
        <translation>does not exist</translation>
    </message>
    <message>
        <source>无法读取（%1）</source>
        <translation>cannot be read (%1)</translation>
    </message>
    <message>
        <source>是空的</source>
        <translation>is empty</translation>
    </message>
    <message>
        <source>不是UTF-8文本</source>
        <translation>is not UTF-8 text</translation>
    </message>
    <message>
        <source>格式有误</source>
        <translation>is malformed</translation>
    </message>
    <message>
        <source>缺少 %1</source>
        <translation>lacks %1</translation>
    </message>
    <message>
        <source>设置文件 %1 %2：缺少的应答模板、模块命令和说明不可用，其余照常。</source>
        <translation>Settings file %1 %2: missing reply templates, module commands and descriptions are unavailable; everything else works as usual.</translation>
    </message>
    <message>
        <source>无法写入设置文件 %1，product_key未保存</source>
        <translation>Cannot write the settings file %1; the product_key was not saved</translation>
    </message>
</context>
<context>
    <name>VokSerialPort</name>
    <message>
        <source>没有串口名</source>
        <translation>No port name</translation>
    </message>
</context>
</TS>
