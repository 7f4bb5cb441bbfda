// DeduRazivor infoWarn served by Apache Axis 1.4 with its default settings
// (so a long return goes out by reference, as a multiRef). Each call is
// appended as one JSON line (UTF-8) to the file named by the system
// property interop.record; the answer comes from the file named by
// interop.mode: "answer N" (the default, N = 0) or "fault".
import java.io.FileOutputStream;
import java.io.OutputStreamWriter;
import java.io.Writer;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;

import org.apache.axis.AxisFault;

public class InfoWarnService {
    public long infoWarn(String guid, String when, String memos, long logType) throws Exception {
        String line = "{\"params\":{\"guid\":" + quote(guid) + ",\"when\":" + quote(when)
                + ",\"memos\":" + quote(memos) + ",\"logType\":" + logType + "}}\n";
        synchronized (InfoWarnService.class) {
            try (Writer out = new OutputStreamWriter(
                    new FileOutputStream(System.getProperty("interop.record"), true),
                    StandardCharsets.UTF_8)) {
                out.write(line);
            }
        }
        String mode = "answer 0";
        Path modeFile = Paths.get(System.getProperty("interop.mode"));
        if (Files.exists(modeFile)) mode = new String(Files.readAllBytes(modeFile), StandardCharsets.UTF_8).trim();
        if (mode.equals("fault")) throw new AxisFault("event refused");
        return Long.parseLong(mode.substring("answer ".length()).trim());
    }

    private static String quote(String text) {
        if (text == null) return "null";
        StringBuilder out = new StringBuilder("\"");
        for (char c : text.toCharArray()) {
            if (c == '"' || c == '\\') out.append('\\').append(c);
            else if (c < 0x20) out.append(String.format("\\u%04x", (int) c));
            else out.append(c);
        }
        return out.append('"').toString();
    }
}
