import java.io.FileInputStream;
import java.io.InputStream;
import java.io.PrintStream;
import org.apache.poi.hssf.usermodel.HSSFCellStyle;
import org.apache.poi.hssf.usermodel.HSSFFont;
import org.apache.poi.hssf.usermodel.HSSFSheet;
import org.apache.poi.hssf.usermodel.HSSFWorkbook;
import org.apache.poi.ss.usermodel.Cell;
import org.apache.poi.ss.usermodel.DataFormatter;
import org.apache.poi.ss.usermodel.Row;

// Prints what Apache POI reads of an .xls file, one tab-separated line per cell:
// row,column  shown text  number format  font name  bold  fill colour  top border
public class PoiRead {
    public static void main(String[] args) throws Exception {
        PrintStream out = new PrintStream(System.out, true, "UTF-8");
        try (InputStream in = new FileInputStream(args[0]); HSSFWorkbook book = new HSSFWorkbook(in)) {
            HSSFSheet sheet = book.getSheetAt(0);
            out.println("sheet\t" + book.getSheetName(0) + "\t" + book.getNumberOfSheets());
            DataFormatter shown = new DataFormatter();
            for (Row row : sheet) {
                for (Cell cell : row) {
                    HSSFCellStyle style = (HSSFCellStyle) cell.getCellStyle();
                    HSSFFont font = style.getFont(book);
                    out.println(cell.getRowIndex() + "," + cell.getColumnIndex() + "\t" + shown.formatCellValue(cell)
                            + "\t" + style.getDataFormatString() + "\t" + font.getFontName() + "\t" + font.getBold()
                            + "\t" + style.getFillForegroundColor() + "\t" + style.getBorderTop());
                }
            }
        }
    }
}
